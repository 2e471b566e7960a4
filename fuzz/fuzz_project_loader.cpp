// Loads arbitrary bytes as a project file. Whatever loads must save and load
// again to the same settings and mails, and save to the same bytes.

#include "core/mail/mail_record_codec.h"
#include "core/project/project_file.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using postloom::MailRecord;
using postloom::ProjectSettings;

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool SameStored(const MailRecord& a, const MailRecord& b)
{
    return a.subject == b.subject && a.messageId == b.messageId && a.inReplyTo == b.inReplyTo &&
           a.references == b.references && a.fileName == b.fileName && a.from == b.from && a.date == b.date &&
           a.orderKey == b.orderKey && a.noReplyHeaders == b.noReplyHeaders && a.reserved == b.reserved &&
           a.outputHtml == b.outputHtml;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ProjectSettings loaded;
    loaded.Reset();
    const postloom::LoadResult result = postloom::LoadProjectFromBytes(loaded, bytes);
    Check(result.opened);
    Check(result.mailsRead == loaded.mailList.size());
    Check(loaded.mailList.size() <= postloom::kMaxStoredMails);

    const std::string saved = postloom::SerializeProject(loaded);
    ProjectSettings again;
    again.Reset();
    const postloom::LoadResult reloaded = postloom::LoadProjectFromBytes(again, saved);
    Check(reloaded.version == postloom::kProjectFileVersion && !reloaded.mailBlockDamaged);
    Check(again.SettingsEqual(loaded));
    Check(again.mailList.size() == loaded.mailList.size());
    for (std::size_t i = 0; i < loaded.mailList.size(); ++i)
        Check(SameStored(*again.mailList[i], *loaded.mailList[i]));
    Check(postloom::SerializeProject(again) == saved);
    return 0;
}
