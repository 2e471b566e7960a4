#pragma once

// The File page "ﾌｧｲﾙ": title, mail folder and file pattern, index file,
// mail page folder, the two name flags, MIME decoding, the declared charset
// and where replies go in the threads. Beside the folder and the pattern
// the page shows how many files they take, as the user types.

#include "settings_ui/gui_text.h"
#include "settings_ui/project_page.h"

#include <QString>
#include <QTimer>

#include <cstddef>
#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace postloom {

class CProjectPage1 final : public CProjectPage {
public:
    explicit CProjectPage1(const ProjectPageContext& context, QWidget* parent = nullptr);

    // Before the page is left: offers to create a missing index folder and
    // mail page folder, and reports one that cannot be created.
    bool checkOnLeave() override;
    // At OK: a folder or pattern changed on the page that takes no file of
    // an existing mail folder is asked about; No keeps the user on the
    // pattern.
    bool takeValues() override;
    void save() override;

    QLineEdit* titleEdit() const { return title_; }
    QLineEdit* mailExtEdit() const { return mailExt_; }
    QComboBox* clientTypeList() const { return clientType_; }
    QLineEdit* targetPathEdit() const { return targetPath_; }
    QPushButton* targetPathBrowse() const { return targetPathBrowse_; }
    QLineEdit* indexPathEdit() const { return indexPath_; }
    QPushButton* indexPathBrowse() const { return indexPathBrowse_; }
    QLineEdit* mailPathEdit() const { return mailPath_; }
    QPushButton* mailPathBrowse() const { return mailPathBrowse_; }
    QCheckBox* cutMLTitleCheck() const { return cutMLTitle_; }
    QCheckBox* toLowerCheck() const { return toLower_; }
    QCheckBox* mimeDecodeCheck() const { return mimeDecode_; }
    QCheckBox* metaCharsetCheck() const { return metaCharset_; }
    QCheckBox* directParentCheck() const { return directParent_; }
    // "該当ﾌｧｲﾙ: 2,403", or why there is no count.
    QLabel* matchCountLabel() const { return matchCount_; }
    // Counts now instead of after the pause in typing.
    void updateMatchCount();

protected:
    void load() override;

private:
    void chooseClientType(int index);
    void browseFolder(QLineEdit& field);
    void browseIndexFile();
    // A setting path as the file system sees it: resolved against the
    // project folder.
    QString resolved(const std::string& path) const;
    // True when folder exists or the user lets it be created and it was;
    // otherwise the user stays on field.
    bool ensureFolder(const std::string& folder, const QString& question, QLineEdit& field);
    // The files the folder and pattern fields take; nullopt without a
    // folder to list.
    std::optional<std::size_t> matchingFiles() const;

    QLineEdit* title_;
    QLineEdit* mailExt_;
    QComboBox* clientType_;
    QLineEdit* targetPath_;
    QPushButton* targetPathBrowse_;
    QLineEdit* indexPath_;
    QPushButton* indexPathBrowse_;
    QLineEdit* mailPath_;
    QPushButton* mailPathBrowse_;
    QCheckBox* cutMLTitle_;
    QCheckBox* toLower_;
    QCheckBox* mimeDecode_;
    QCheckBox* metaCharset_;
    QCheckBox* directParent_;
    QLabel* matchCount_;
    // Counting lists the folder: it waits for a pause in typing.
    QTimer countTimer_;

    ShownText titleText_;
    ShownText mailExtText_;
    ShownText targetPathText_;
    ShownText indexPathText_;
    ShownText mailPathText_;
};

}  // namespace postloom
