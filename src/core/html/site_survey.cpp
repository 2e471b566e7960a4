#include "core/html/site_survey.h"

#include "core/html/output_paths.h"
#include "core/platform/core_share.h"

#include <algorithm>
#include <vector>

namespace postloom {

SiteSurvey::SiteSurvey(SurveyPlaces places, unsigned threads)
    : places_(std::move(places)), record_(LoadSiteRecord(places_.recordPath, places_.pageFolder))
{
    if (!record_)
        return;
    std::vector<const std::pair<const std::string, RecordedPage>*> pages;
    pages.reserve(record_->pages.size());
    pages_.reserve(record_->pages.size());
    for (const auto& entry : record_->pages) {
        pages.push_back(&entry);
        pages_.try_emplace(&entry.second);
    }

    const platform::FolderStamps mailStamps(places_.mailFolder);
    const platform::FolderStamps pageStamps(places_.pageFolder);
    // Each thread fills the entries of its own pages; the map is not
    // changed meanwhile.
    const auto survey = [&](std::size_t begin, std::size_t end) {
        for (std::size_t k = begin; k < end; ++k) {
            const auto& [name, page] = *pages[k];
            SurveyedPage& found = pages_.find(&page)->second;
            found.archive = mailStamps.Input(page.mailFile);
            found.filesInPlace = pageStamps.Output(name) == page.page &&
                                 std::all_of(page.attachments.begin(), page.attachments.end(),
                                             [&](const RecordedFile& file) {
                                                 return pageStamps.Output(file.path) == file.stamp;
                                             });
        }
    };
    platform::ShareAmongCores(pages.size(), threads, survey);
}

SurveyPlaces SurveyPlacesOf(const ProjectSettings& settings, const std::string& projectFolder)
{
    const OutputPaths paths(settings, projectFolder);
    return {JoinPath(paths.IndexFolder(), kSiteRecordName), paths.MailFolderFullPath(),
            paths.Resolve(settings.TargetPath)};
}

SiteSurveyAhead::SiteSurveyAhead(SurveyPlaces places)
    : places_(places), survey_(std::async(std::launch::async, [places = std::move(places)] {
          return std::make_unique<SiteSurvey>(places, platform::CoreCount());
      }))
{
}

std::unique_ptr<SiteSurvey> SiteSurveyAhead::Take(const SurveyPlaces& places)
{
    if (!survey_.valid())
        return nullptr;
    std::unique_ptr<SiteSurvey> survey = survey_.get();
    return places == places_ ? std::move(survey) : nullptr;
}

}  // namespace postloom
