#include "core/report/problem_wording.h"

#include "core/text/codec.h"

#include <array>

namespace postloom {

namespace {

using enum ProblemKind;

// The half-width kana follow the rest of the desktop program's texts.
constexpr std::array kWordings = {
    ProblemWording{ProjectMissing, "cannot read the project file {path}: the file does not exist", {},
                   "ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ {path} を読み込めません: ﾌｧｲﾙがありません"},
    ProblemWording{ProjectNotAFile, "cannot read the project file {path}: it is a folder or a special file", {},
                   "ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ {path} を読み込めません: ﾌｫﾙﾀﾞか特殊なﾌｧｲﾙです"},
    ProblemWording{ProjectUnreadable, "cannot read the project file {path}: {reason}", {},
                   "ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ {path} を読み込めません: {reason}"},
    ProblemWording{NotAProject, "cannot read the project file {path}: it is not a Postloom project file", {},
                   "ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ {path} を読み込めません: Postloom ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙではありません"},
    ProblemWording{ProjectCutShort, "the project file has no mail list; it may have been cut short", {},
                   "ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ {path} にはﾒｰﾙ一覧がありません。途中で切れている可能性があります"},
    ProblemWording{ProjectMailListDamaged,
                   "the mail list of the project file is damaged; the readable mails were kept", {},
                   "ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ {path} のﾒｰﾙ一覧が壊れています。読み込めたﾒｰﾙを残しました"},
    ProblemWording{SettingHoldsNul, "the setting {path} holds a NUL byte; no file that depends on it was written",
                   {}, "設定 {path} にNUL文字が含まれています。この設定を使うﾌｧｲﾙは作成していません"},
    ProblemWording{MailFolderMissing, "the mail folder does not exist: {path}", {},
                   "ﾒｰﾙのﾌｫﾙﾀﾞがありません: {path}"},
    ProblemWording{MailFileUnreadable, "cannot read mail file: {path}{: reason}", {},
                   "ﾒｰﾙﾌｧｲﾙを読み込めません: {path}{: reason}"},
    ProblemWording{NotAMailFile, "not a mail file: {path}{: reason}", {}, "ﾒｰﾙﾌｧｲﾙではありません: {path}{: reason}"},
    ProblemWording{MailsLeftOut, "{count} mail files were left out: a project holds at most 65,535 mails", {},
                   "{count}個のﾒｰﾙﾌｧｲﾙを読み込みませんでした: ﾌﾟﾛｼﾞｪｸﾄのﾒｰﾙは65,535通までです"},
    ProblemWording{NoMails, "the project has no mails; no page was written", {},
                   "ﾌﾟﾛｼﾞｪｸﾄにﾒｰﾙがありません。ﾍﾟｰｼﾞは作成していません"},
    ProblemWording{FolderCreated, "created the missing folder {path}", {}, "ﾌｫﾙﾀﾞ {path} がないので作成しました"},
    ProblemWording{FolderNotCreated, "cannot create the folder {path}: {reason}; no page was written", {},
                   "ﾌｫﾙﾀﾞ {path} を作成できません: {reason}。ﾍﾟｰｼﾞは作成していません"},
    ProblemWording{PageFolderNotCreated, "cannot create the folder {path}: {reason}; no mail page was written", {},
                   "ﾌｫﾙﾀﾞ {path} を作成できません: {reason}。ﾒｰﾙのﾍﾟｰｼﾞは作成していません"},
    ProblemWording{TemporaryFilesRemoved, "removed {count} temporary files left by interrupted runs",
                   "removed 1 temporary file left by an interrupted run",
                   "中断した実行が残した一時ﾌｧｲﾙを{count}個削除しました"},
    ProblemWording{GraphicNotCopied, "cannot copy graphic: {path}{: reason}", {},
                   "ｸﾞﾗﾌｨｯｸﾌｧｲﾙをｺﾋﾟｰできません: {path}{: reason}"},
    ProblemWording{IndexTemplateMissing, "cannot read the index template {path}", {},
                   "ｲﾝﾃﾞｯｸｽのﾃﾝﾌﾟﾚｰﾄﾌｧｲﾙを読み込めません: {path}"},
    ProblemWording{IndexPageNotWritten, "cannot write the index page {path}: {reason}", {},
                   "ｲﾝﾃﾞｯｸｽﾍﾟｰｼﾞ {path} を作成できません: {reason}"},
    ProblemWording{IndexHeaderMissing, "cannot read the index header file {path}", {},
                   "ｲﾝﾃﾞｯｸｽのﾍｯﾀﾞﾌｧｲﾙを読み込めません: {path}"},
    ProblemWording{IndexFooterMissing, "cannot read the index footer file {path}", {},
                   "ｲﾝﾃﾞｯｸｽのﾌｯﾀﾌｧｲﾙを読み込めません: {path}"},
    ProblemWording{StylesheetNotWritten, "cannot write the stylesheet {path}: {reason}", {},
                   "ｽﾀｲﾙｼｰﾄ {path} を作成できません: {reason}"},
    ProblemWording{MailTemplateMissing, "cannot read the mail page template {path}", {},
                   "ﾒｰﾙﾍﾟｰｼﾞのﾃﾝﾌﾟﾚｰﾄﾌｧｲﾙを読み込めません: {path}"},
    ProblemWording{MailHeaderMissing, "cannot read the mail header file {path}", {},
                   "ﾒｰﾙﾍﾟｰｼﾞのﾍｯﾀﾞﾌｧｲﾙを読み込めません: {path}"},
    ProblemWording{MailFooterMissing, "cannot read the mail footer file {path}", {},
                   "ﾒｰﾙﾍﾟｰｼﾞのﾌｯﾀﾌｧｲﾙを読み込めません: {path}"},
    ProblemWording{MailFileMissing, "mail file missing, no page: {path}{: reason}", {},
                   "ﾒｰﾙﾌｧｲﾙがないのでﾍﾟｰｼﾞを作成していません: {path}{: reason}"},
    ProblemWording{MailFileUnreadableForPage, "cannot read mail file, no page: {path}{: reason}", {},
                   "ﾒｰﾙﾌｧｲﾙを読み込めないのでﾍﾟｰｼﾞを作成していません: {path}{: reason}"},
    ProblemWording{UnusableMailFileName, "unusable mail file name in the project, no page: {path}{: reason}", {},
                   "ﾌﾟﾛｼﾞｪｸﾄのﾒｰﾙﾌｧｲﾙ名が使えないのでﾍﾟｰｼﾞを作成していません: {path}{: reason}"},
    ProblemWording{PageNotWritten, "cannot write page: {path}{: reason}", {},
                   "ﾍﾟｰｼﾞを作成できません: {path}{: reason}"},
    ProblemWording{AttachmentNotSaved, "cannot save attachment: {path}{: reason}", {},
                   "添付ﾌｧｲﾙを保存できません: {path}{: reason}"},
    ProblemWording{PageWouldOverwriteMailFile, "page would overwrite a mail file, not written: {path}{: reason}", {},
                   "ﾍﾟｰｼﾞがﾒｰﾙﾌｧｲﾙを上書きするので作成していません: {path}{: reason}"},
    ProblemWording{NotRemoved, "cannot remove: {path}{: reason}", {}, "削除できません: {path}{: reason}"},
    ProblemWording{SiteRecordNotWritten, "cannot write the site record {path}: {reason}", {},
                   "ｻｲﾄの記録 {path} を作成できません: {reason}"},
    ProblemWording{PageWouldOverwriteOutput, "page of {path} would overwrite {page}, not written", {},
                   "{path} のﾍﾟｰｼﾞは {page} を上書きするので作成していません"},
    ProblemWording{MailsSharePage, "mails {path} and {otherMail} share the page {page}; the later one replaces it",
                   {}, "ﾒｰﾙ {path} と {otherMail} のﾍﾟｰｼﾞはどちらも {page} です。後のﾒｰﾙのﾍﾟｰｼﾞにしました"},
    ProblemWording{MailFileGone, "mail file gone, no page: {path}{: reason}", {},
                   "ﾒｰﾙﾌｧｲﾙがなくなったのでﾍﾟｰｼﾞはありません: {path}{: reason}"},
    ProblemWording{PagesRemoved, "{count} pages of mails without a page were removed",
                   "1 page of a mail without a page was removed",
                   "ﾍﾟｰｼﾞを出力しないﾒｰﾙのﾍﾟｰｼﾞを{count}個削除しました"},
    ProblemWording{AttachmentsRemoved, "{count} attachments that no page links were removed",
                   "1 attachment that no page links was removed",
                   "どのﾍﾟｰｼﾞからもﾘﾝｸされない添付ﾌｧｲﾙを{count}個削除しました"},
    ProblemWording{SearchNotWritten, "cannot write the search file {path}: {reason}", {},
                   "検索用のﾌｧｲﾙ {path} を作成できません: {reason}"},
    ProblemWording{RunStopped, "the run was stopped before its end", {}, "処理は途中で中止されました"},
    ProblemWording{BackupKept, "kept the old project file as {path}", {}, "元のﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙを {path} に残しました"},
    ProblemWording{ProjectNotSaved, "cannot save the project {path}: {reason}", {},
                   "ﾌﾟﾛｼﾞｪｸﾄ {path} を保存できません: {reason}"},
    ProblemWording{LinkPassedOver, "passed over a symbolic link: {path}", {},
                   "ｼﾝﾎﾞﾘｯｸﾘﾝｸは取り込みません: {path}"},
    ProblemWording{ImportFailed, "cannot import from {path}: {reason}", {}, "{path} から取り込めません: {reason}"},
    ProblemWording{ImportFileProblem, "{path}: {reason}", {}, "取り込めません: {path}: {reason}"},
    ProblemWording{ImportStopped, "the import was stopped before its end", {}, "取り込みは途中で中止されました"},
};

static_assert(kWordings.size() == kProblemKindCount, "every problem kind needs its wording");

constexpr bool InKindOrder()
{
    for (std::size_t k = 0; k < kWordings.size(); ++k) {
        if (static_cast<std::size_t>(kWordings[k].kind) != k)
            return false;
    }
    return true;
}
static_assert(InKindOrder(), "the wordings follow the order of the kinds");

// The value of one field of a pattern; the field's name as written when it
// names none, so that a slip in the table shows instead of vanishing.
std::string Field(std::string_view name, const Problem& problem)
{
    if (name == "path")
        return problem.path;
    if (name == "otherMail")
        return problem.otherMail;
    if (name == "page")
        return problem.page;
    if (name == "count")
        return std::to_string(problem.count);
    if (name == "reason")
        return problem.reason;
    if (name == ": reason")
        return problem.reason.empty() ? std::string() : ": " + problem.reason;
    return "{" + std::string(name) + "}";
}

// pattern is UTF-8, where a brace is never part of another character; its
// text between the fields is made CP932 piece by piece, since the fields
// (names as they are held) already are.
std::string Fill(std::string_view pattern, const Problem& problem, bool toCp932)
{
    const auto text = [toCp932](std::string_view piece) {
        return toCp932 ? text::Utf8ToCp932(piece) : std::string(piece);
    };
    std::string line;
    std::size_t at = 0;
    while (at < pattern.size()) {
        const std::size_t open = pattern.find('{', at);
        const std::size_t close = open == std::string_view::npos ? open : pattern.find('}', open);
        if (close == std::string_view::npos) {
            line.append(text(pattern.substr(at)));
            break;
        }
        line.append(text(pattern.substr(at, open - at)));
        line.append(Field(pattern.substr(open + 1, close - open - 1), problem));
        at = close + 1;
    }
    return line;
}

}  // namespace

std::span<const ProblemWording> ProblemWordings()
{
    return kWordings;
}

std::string WordProblem(const Problem& problem, ProblemLanguage language)
{
    const ProblemWording& wording = kWordings.at(static_cast<std::size_t>(problem.kind));
    if (language == ProblemLanguage::Japanese)
        return Fill(wording.japanese, problem, true);
    const bool one = problem.count == 1 && !wording.englishOne.empty();
    return Fill(one ? wording.englishOne : wording.english, problem, false);
}

}  // namespace postloom
