#pragma once

// Carries every command of the program to its handler: the menu entries, the
// tool bar buttons, the commands the program sends or posts to itself in its
// chains, and the workers' completion notices.
//
// The owners (view, document, frame, application) each register a table of
// routes: an id with an enable rule, a handler, or both. Looking up an id
// walks the tables in routing order (view, then document, then frame, then
// application; tables of one level in the order they were added), so a rule
// and its handler may come from different owners, as the document decides
// whether the view's page commands are enabled:
//   - the first route of the id that has a rule decides whether the command
//     is enabled; without any rule the command is enabled when some route
//     has a handler (a command nobody handles is disabled);
//   - the first route of the id that has a handler runs it.
// A command runs only when it is enabled at that moment; otherwise it is
// dropped without a word (and dropped() is emitted, for the unattended run).
// A completion notice (CommandKind::Notice) skips the rule and always runs.

#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

namespace postloom {

struct CommandRoute {
    int id = 0;
    // Empty: this route gives no rule.
    std::function<bool()> enabled = {};
    // Empty: this route only gives the rule.
    std::function<void()> handler = {};
};

enum class RouteLevel { View, Document, Frame, Application };

class CommandDispatcher final : public QObject {
    Q_OBJECT

public:
    // Keeps a table registered while it lives; the owner holds it as a
    // member so that its routes go away with it.
    class Registration {
    public:
        Registration() = default;
        Registration(Registration&& other) noexcept;
        Registration& operator=(Registration&& other) noexcept;
        Registration(const Registration&) = delete;
        Registration& operator=(const Registration&) = delete;
        ~Registration();

    private:
        friend class CommandDispatcher;
        Registration(CommandDispatcher* dispatcher, int key) : dispatcher_(dispatcher), key_(key) {}
        void release();

        QPointer<CommandDispatcher> dispatcher_;
        int key_ = 0;
    };

    explicit CommandDispatcher(QObject* parent = nullptr);

    [[nodiscard]] Registration addRoutes(RouteLevel level, std::vector<CommandRoute> routes);

    // The enable rule of id as the menus show it.
    bool isEnabled(int id) const;

    // Sends id: runs it at once when its rule allows. Returns whether a
    // handler ran. On the thread of the dispatcher only.
    bool send(int id);

    // Posts id from any thread: it is handled later on the dispatcher's
    // thread, after what was posted before, and its rule is tested then.
    void post(int id);

Q_SIGNALS:
    // A command that was not carried out: disabled, or handled by nobody.
    void dropped(int id);

private:
    struct Table {
        int key;
        RouteLevel level;
        std::vector<CommandRoute> routes;
    };

    const CommandRoute* findRule(int id) const;
    const CommandRoute* findHandler(int id) const;
    void removeRoutes(int key);

    std::vector<Table> tables_;  // in routing order
    int nextKey_ = 1;
};

}  // namespace postloom
