#pragma once

#include "core/threading/tree_item.h"

#include <cstdint>
#include <string>
#include <vector>

namespace postloom {

// Everything the program knows of one mail. Texts are CP932 bytes.
struct MailRecord {
    std::string subject;
    std::string messageId;
    std::string inReplyTo;
    std::vector<std::string> references;
    std::string fileName;  // bare name inside TargetPath
    std::string from;
    // Greenwich wall-clock time read as local time; 0 without a Date header.
    std::int32_t date = 0;
    // Sort key; starts as a copy of date, the move commands exchange keys.
    std::int32_t orderKey = 0;
    std::int32_t noReplyHeaders = 1;
    std::int32_t reserved = 0;
    std::int32_t outputHtml = 1;

    // Thread links, rebuilt by every tree build; they own nothing.
    MailRecord* parent = nullptr;
    MailRecord* firstChild = nullptr;
    MailRecord* nextSibling = nullptr;
    MailRecord* prevSibling = nullptr;
    TreeItem treeItem = kNoItem;
};

}  // namespace postloom
