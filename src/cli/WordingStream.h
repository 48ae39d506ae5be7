// Everything kestrova-cli prints passes through here a line at a time, so it
// reads in the words of the chosen profile's desktop ("Trash", not "Finder
// Trash", on Linux). The profile is asked for at the first write, once the
// options are parsed.
#pragma once

#include "platform/PlatformProfile.h"

#include <functional>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>

namespace kestrova::cli {

class WordingStreamBuffer : public std::streambuf {
public:
    WordingStreamBuffer(std::streambuf* target, std::function<PlatformProfile()> profile)
        : target_(target), profile_(std::move(profile)) {}
    ~WordingStreamBuffer() override { sync(); }

protected:
    int_type overflow(int_type character) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    // Writes out a partial line too: a prompt must show before its answer.
    int sync() override;

private:
    void writePending();

    std::streambuf* target_;
    std::function<PlatformProfile()> profile_;
    std::optional<PlatformProfile> chosen_;
    std::string pending_;
};

// Sends a stream through a WordingStreamBuffer for as long as it lives, and
// gives the stream its own buffer back afterwards.
class WordedStream {
public:
    WordedStream(std::ostream& stream, std::function<PlatformProfile()> profile)
        : stream_(stream), buffer_(stream.rdbuf(), std::move(profile)), original_(stream.rdbuf(&buffer_)) {}
    ~WordedStream() {
        stream_.flush();
        stream_.rdbuf(original_);
    }
    WordedStream(const WordedStream&) = delete;
    WordedStream& operator=(const WordedStream&) = delete;

private:
    std::ostream& stream_;
    WordingStreamBuffer buffer_;
    std::streambuf* original_;
};

}  // namespace kestrova::cli
