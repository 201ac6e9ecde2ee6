#include "player/reverse_gops.h"

#include <algorithm>

namespace kalix::player {

std::vector<HeldPicture> ReverseGops::meet(const Unit& picture) {
    const int channel = picture.video.enc.channel;
    auto& group = waiting_[channel];
    group.push_back(HeldPicture{next_id_++, picture});
    if (picture.video.enc.kind != media::FrameKind::Key) {
        // Too long to hold: the latest pictures go, the channel moves on.
        if (group.size() >= limit_) group.pop_front();
        return {};
    }
    std::vector<HeldPicture> in_stream_order(group.rbegin(), group.rend());
    for (const HeldPicture& p : in_stream_order) shows_.emplace(p.id, p.unit);
    group.clear();
    return in_stream_order;
}

std::optional<HeldPicture> ReverseGops::nextShow() {
    if (shows_.empty()) return std::nullopt;
    const auto first = shows_.begin();
    // A channel still waiting for its key frame holds pictures later than
    // everything it has not reached yet; the earliest met of them bounds
    // what may be shown.
    for (const auto& [channel, group] : waiting_)
        if (!group.empty() && group.front().id < first->first) return std::nullopt;
    HeldPicture p{first->first, first->second};
    shows_.erase(first);
    return p;
}

void ReverseGops::flush() { waiting_.clear(); }

void ReverseGops::clear() {
    waiting_.clear();
    shows_.clear();
}

std::size_t ReverseGops::waiting() const {
    std::size_t n = 0;
    for (const auto& [channel, group] : waiting_) n += group.size();
    return n;
}

}  // namespace kalix::player
