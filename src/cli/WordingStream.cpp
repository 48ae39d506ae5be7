#include "cli/WordingStream.h"

#include "platform/PlatformWording.h"

namespace kestrova::cli {

WordingStreamBuffer::int_type WordingStreamBuffer::overflow(int_type character) {
    if (traits_type::eq_int_type(character, traits_type::eof())) {
        return traits_type::not_eof(character);
    }
    pending_.push_back(traits_type::to_char_type(character));
    if (character == '\n') {
        writePending();
    }
    return character;
}

std::streamsize WordingStreamBuffer::xsputn(const char* text, std::streamsize count) {
    pending_.append(text, static_cast<std::size_t>(count));
    if (pending_.find('\n') != std::string::npos) {
        // Whole lines go now; a word is never split across lines.
        const auto end = pending_.rfind('\n') + 1;
        auto rest = pending_.substr(end);
        pending_.resize(end);
        writePending();
        pending_ = std::move(rest);
    }
    return count;
}

int WordingStreamBuffer::sync() {
    writePending();
    return target_->pubsync();
}

void WordingStreamBuffer::writePending() {
    if (pending_.empty()) {
        return;
    }
    if (!chosen_) {
        chosen_ = profile_();
    }
    const auto worded = platformWording(pending_, *chosen_);
    target_->sputn(worded.data(), static_cast<std::streamsize>(worded.size()));
    pending_.clear();
}

}  // namespace kestrova::cli
