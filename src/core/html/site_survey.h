#pragma once

// The site record and what stands on disk of every file it names: the mail
// file each page was made from and whether the page and its attachments
// are still as they were written. A re-run spares the pages whose files
// are in place, and finding that out means looking at two files per page;
// a survey started ahead (SiteSurveyAhead) does it on a thread of its own
// while the run reads and threads the mails.

#include "core/html/site_record.h"
#include "core/platform/file_stamp.h"
#include "core/project/project_settings.h"

#include <future>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

namespace postloom {

struct SurveyedPage {
    // The recorded mail file as it is now; none when it is no regular file.
    std::optional<platform::FileStamp> archive;
    // The page and each recorded attachment stand as they were written.
    bool filesInPlace = false;
};

// Where a survey looks: all absolute, CP932.
struct SurveyPlaces {
    std::string recordPath;
    std::string pageFolder;
    std::string mailFolder;
    bool operator==(const SurveyPlaces&) const = default;
};

class SiteSurvey {
public:
    // Loads the record at places.recordPath when it describes the page
    // folder and looks at the files it names, on up to threads threads.
    SiteSurvey(SurveyPlaces places, unsigned threads);
    SiteSurvey(const SiteSurvey&) = delete;
    SiteSurvey& operator=(const SiteSurvey&) = delete;

    const SurveyPlaces& places() const { return places_; }
    const std::optional<SiteRecord>& record() const { return record_; }
    // What was found of a page of record().
    const SurveyedPage& Of(const RecordedPage& page) const { return pages_.at(&page); }

private:
    SurveyPlaces places_;
    std::optional<SiteRecord> record_;
    std::unordered_map<const RecordedPage*, SurveyedPage> pages_;
};

// The places a run with these settings surveys.
SurveyPlaces SurveyPlacesOf(const ProjectSettings& settings, const std::string& projectFolder);

// A survey started at once on a thread of its own.
class SiteSurveyAhead {
public:
    explicit SiteSurveyAhead(SurveyPlaces places);
    // Waits for the survey; nullptr when it looked at other places than
    // these (the settings changed since) or was taken before.
    std::unique_ptr<SiteSurvey> Take(const SurveyPlaces& places);

private:
    SurveyPlaces places_;
    std::future<std::unique_ptr<SiteSurvey>> survey_;
};

}  // namespace postloom
