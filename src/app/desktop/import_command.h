#pragma once

// ﾌｧｲﾙ → ｲﾝﾎﾟｰﾄ... and ﾌｫﾙﾀﾞからｲﾝﾎﾟｰﾄ...: the mails of an mbox file (or of a
// Maildir or a folder of .eml files) become one file each in a mail folder
// the user picks, as postloom-batch --import makes them; then the program
// offers a new project that reads that folder.

namespace postloom {

class CPostloomApp;

enum class ImportFrom { MboxFile, Folder };

// Asks for the source and the mail folder, imports on a thread of its own
// while the window stays live, shows the outcome in the status bar and the
// problem list, and when mails came in offers to make a project for them.
void RunImportCommand(CPostloomApp& app, ImportFrom from);

}  // namespace postloom
