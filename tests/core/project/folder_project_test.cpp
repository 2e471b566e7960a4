#include "core/project/folder_project.h"

#include <gtest/gtest.h>

using namespace postloom;

namespace {

TEST(FolderProjectTest, FillsTitleSiteBesideTheFolderAndTheNewProjectValues)
{
    ProjectSettings settings;
    settings.Reset();
    FillFolderProject(settings, "/home/taro/mail/list/", "*.alm");
    EXPECT_EQ(settings.Title, "list");
    EXPECT_EQ(settings.TargetPath, "/home/taro/mail/list");
    EXPECT_EQ(settings.MailExt, "*.alm");
    EXPECT_EQ(settings.IndexPath, "/home/taro/mail/list-site/index.html");
    EXPECT_EQ(settings.MailPath, "pages");
    EXPECT_EQ(settings.OutDate, 1);
    EXPECT_EQ(settings.OutFrom, 1);
    EXPECT_EQ(settings.DispSubject, 1);
    EXPECT_EQ(settings.DispLink, 1);
    EXPECT_EQ(settings.MimeDecode, 1);
    EXPECT_EQ(PageStyleOf(settings), PageStyleKind::Modern);
    EXPECT_EQ(AddressHidingOf(settings), AddressHiding::Masked);
    EXPECT_EQ(ProposedProjectPath("/home/taro/mail/list/"), "/home/taro/mail/list.plp");
}

}  // namespace
