#pragma once

// Writing a file that must not replace anything: the content goes into a
// file of its own in the target folder (an anonymous one where the file
// system offers it, else a hidden temporary name) and is given its name
// only when it is whole, by a call that fails when the name is taken. So a
// crash, a full disk or a file that appeared under the name in the meantime
// never leaves a cut file and never overwrites one.

#include <string>
#include <string_view>

namespace postloom::platform {

class NewFile {
public:
    enum class Outcome { Written, NameTaken, Failed };

    // Starts a new file in the folder cp932Folder; a folder that is missing
    // or not writable makes the file fail at once (see Ok and Error).
    explicit NewFile(std::string_view cp932Folder);
    ~NewFile();  // discards whatever was not committed
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    void Write(std::string_view bytes);

    // Gives the content the bare name cp932Name in the folder. NameTaken:
    // something already has that name; it is left alone and the content is
    // kept, so Commit may be called again with another name. Failed: no file
    // of the name was made.
    Outcome Commit(std::string_view cp932Name);

    bool Ok() const { return error_ == 0; }
    // The system's reason for the failure ("No space left on device"), CP932.
    std::string Error() const;

private:
    void Fail(int error);
    void CloseAll();
    Outcome LinkNamed(const std::string& target);

    std::string folder_;     // native folder path
    int fd_ = -1;
    bool anonymous_ = false;  // fd_ has no name yet (O_TMPFILE)
    bool closed_ = false;     // the named temporary file is complete and closed
    std::string temporary_;   // native path of the named temporary file
    int error_ = 0;
};

}  // namespace postloom::platform
