#include "app/command_dispatcher.h"

#include "app/command_ids.h"

#include <QThread>

#include <algorithm>
#include <utility>

namespace postloom {

CommandDispatcher::Registration::Registration(Registration&& other) noexcept
    : dispatcher_(std::move(other.dispatcher_)), key_(std::exchange(other.key_, 0))
{
}

CommandDispatcher::Registration& CommandDispatcher::Registration::operator=(Registration&& other) noexcept
{
    if (this != &other) {
        release();
        dispatcher_ = std::move(other.dispatcher_);
        key_ = std::exchange(other.key_, 0);
    }
    return *this;
}

CommandDispatcher::Registration::~Registration()
{
    release();
}

void CommandDispatcher::Registration::release()
{
    if (dispatcher_ && key_ != 0) {
        dispatcher_->removeRoutes(key_);
    }
    dispatcher_.clear();
    key_ = 0;
}

CommandDispatcher::CommandDispatcher(QObject* parent) : QObject(parent) {}

CommandDispatcher::Registration CommandDispatcher::addRoutes(RouteLevel level, std::vector<CommandRoute> routes)
{
    const int key = nextKey_++;
    // Behind every table of the same or a nearer level.
    const auto place =
        std::ranges::find_if(tables_, [level](const Table& table) { return table.level > level; });
    tables_.insert(place, Table{key, level, std::move(routes)});
    return Registration(this, key);
}

void CommandDispatcher::removeRoutes(int key)
{
    std::erase_if(tables_, [key](const Table& table) { return table.key == key; });
}

const CommandRoute* CommandDispatcher::findRule(int id) const
{
    for (const Table& table : tables_) {
        for (const CommandRoute& route : table.routes) {
            if (route.id == id && route.enabled) {
                return &route;
            }
        }
    }
    return nullptr;
}

const CommandRoute* CommandDispatcher::findHandler(int id) const
{
    for (const Table& table : tables_) {
        for (const CommandRoute& route : table.routes) {
            if (route.id == id && route.handler) {
                return &route;
            }
        }
    }
    return nullptr;
}

bool CommandDispatcher::isEnabled(int id) const
{
    if (const CommandRoute* const rule = findRule(id)) {
        return rule->enabled();
    }
    return findHandler(id) != nullptr;
}

bool CommandDispatcher::send(int id)
{
    Q_ASSERT(QThread::currentThread() == thread());
    const CommandInfo* const info = FindCommand(id);
    const bool isNotice = info != nullptr && info->kind == CommandKind::Notice;
    const CommandRoute* const route = findHandler(id);
    if (route == nullptr || (!isNotice && !isEnabled(id))) {
        Q_EMIT dropped(id);
        return false;
    }
    // A handler may remove its own table (an owner that goes away), so it
    // runs from a copy.
    const std::function<void()> handler = route->handler;
    handler();
    return true;
}

void CommandDispatcher::post(int id)
{
    QMetaObject::invokeMethod(this, [this, id] { send(id); }, Qt::QueuedConnection);
}

}  // namespace postloom
