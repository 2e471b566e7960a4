#pragma once

// Writing an output file (a page, the index page, a graphic copy) so that
// the file at the target is always a complete one: the old bytes until the
// new ones are whole, never a cut file, never a write through a symbolic
// link placed at the target.
//
// The new content goes into a file of its own in the target's folder (an
// anonymous one where the file system offers it, else a hidden temporary
// name) that is linked or renamed into place at Commit. A target that
// already holds exactly the new bytes is left alone: the content is
// compared while it is written (the size first), and nothing is written at
// all while it matches. Memory stays at one fixed buffer whatever the size.

#include "core/platform/file_stamp.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace postloom::platform {

class OutputFile {
public:
    enum class Mode { Binary, Text };  // Text turns every LF into CR LF
    enum class Outcome { Written, Unchanged, Failed };
    // Absent: the caller saw no file at the target a moment ago (in a
    // listing of its folder), so it is not looked up again. Should one have
    // appeared since, it is replaced whole, never compared or written into.
    enum class Target { Unknown, Absent };

    // Prepares the replacement of the file at cp932Path. A folder or a
    // special file at the target, or a path that cannot be used, makes the
    // file fail at once (see Ok and Error); nothing is touched then.
    OutputFile(std::string_view cp932Path, Mode mode, Target target = Target::Unknown);
    ~OutputFile();  // discards whatever was not committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void Write(std::string_view bytes);
    // Write for bytes the caller is done with: taken over without a copy
    // when nothing is pending in Binary mode.
    void WriteMoved(std::string&& bytes);
    OutputFile& operator<<(std::string_view bytes)
    {
        Write(bytes);
        return *this;
    }

    // Puts the new file in place. Unchanged: the target already held these
    // bytes and was not touched. Failed: the target keeps its old bytes (or
    // stays absent) and no temporary file is left.
    Outcome Commit();
    // After a Commit that did not fail: the OutputStamp of the file now in
    // place, taken from the open file instead of looking its path up again
    // (the size and the time of the last write; putting a file in place
    // changes neither). nullopt where that could not be read.
    const std::optional<FileStamp>& Stamp() const { return stamp_; }
    // Drops the new content; the target keeps its old bytes.
    void Discard();

    bool Ok() const { return error_ == 0; }
    // The system's reason for the failure ("No space left on device"), CP932.
    std::string Error() const;

private:
    enum class State { Comparing, Writing, Done };

    void Flush();
    bool MatchesOld(std::string_view bytes);
    void StartNewFile();
    void WritePending();
    bool CopyMatchedPrefix();
    bool PutInPlace();
    void Fail(int error);
    void CloseAll();

    std::string target_;  // native (UTF-8) path
    std::string folder_;  // native folder of the target, "." for a bare name
    Mode mode_;
    State state_ = State::Writing;
    int error_ = 0;

    int oldFd_ = -1;         // the existing target while its bytes are compared
    std::uint64_t oldSize_ = 0;
    mode_t oldMode_ = 0;
    bool targetExists_ = false;
    std::uint64_t matched_ = 0;  // bytes equal to the old file so far

    int newFd_ = -1;
    bool anonymous_ = false;     // newFd_ has no name yet (O_TMPFILE)
    std::string temporary_;      // the named temporary file, when one exists
    std::string pending_;
    std::optional<FileStamp> stamp_;
};

// Appends text with every LF turned into CR LF, as a Text file is written.
void AppendCrlf(std::string_view text, std::string& out);

// True when the file at cp932Path is a regular file, not a symbolic link,
// that holds exactly bytes. Only reads; a page built ahead of its writing
// can so be found unchanged without the writer.
bool HoldsExactly(std::string_view cp932Path, std::string_view bytes);

// The hidden temporary name prefix of output files; the project uses its
// own. Files with this prefix in an output folder are the program's.
inline constexpr std::string_view kOutputTemporaryPrefix = ".postloom-out-";

// A seam for tests of full disks where no small file system can be
// mounted: after `bytes` more bytes written by OutputFile, every write
// fails with `error`. Reset with ClearWriteFault.
void SetWriteFaultForTesting(std::uint64_t bytes, int error);
void ClearWriteFaultForTesting();

}  // namespace postloom::platform
