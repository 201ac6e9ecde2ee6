#include "media/video/wall_view.h"

#include <algorithm>
#include <utility>

namespace kalix::media {

namespace {

constexpr bool validChannel(int channel) { return channel >= 0 && channel < kWallChannels; }
constexpr bool validPane(int pane) { return pane >= 0 && pane < kWallPanes; }
constexpr std::uint16_t bit(int index) { return static_cast<std::uint16_t>(1U << index); }
constexpr std::size_t at(int index) { return static_cast<std::size_t>(index); }

// The delivered channels beyond the recorder's channel count have no decoder
// and will never show a picture; keeping them out of the mask keeps them out
// of single view and dragging as well.
std::uint16_t belowCount(std::uint32_t mask, int channel_count) {
    const int count = std::clamp(channel_count, 0, kWallChannels);
    return static_cast<std::uint16_t>(mask & ((1U << count) - 1U));
}

int layoutForChannelCount(int channel_count) {
    if (channel_count <= 4) return 1;  // 4 panes
    if (channel_count <= 8) return 5;  // 8 panes
    return 14;                         // 16 panes
}

}  // namespace

struct WallView::State {
    WallRect placement;
    int border = 1;
    WallColour background = kWallBackgroundColour;
    // Cells of one page of each layout, for the placed size.
    std::array<std::vector<WallRect>, kLayoutCount> cells;

    int channel_count = kWallChannels;
    PageTable pages = pageTableFor(kWallChannels, PageTableUse::Initialise);
    int layout = 14;
    int page = 0;
    std::uint16_t visible = 0xFFFF;
    std::array<int, kWallPanes> pane_map{};
    // The next choice of the current layout keeps its page: at the first
    // choice after construction and right after a single channel was chosen.
    bool hold_page = true;

    bool full_screen = false;
    WallRect saved_placement;

    bool single_view = false;  // the double-click single view is shown
    int saved_layout = 14;
    int saved_page = 0;
};

// ---------------------------------------------------------------------------
// Placement

WallView::WallView(PictureBuffers& pictures, WallObservers& observers)
    : pictures_(pictures), observers_(observers), state_(std::make_unique<State>()) {
    for (int pane = 0; pane < kWallPanes; ++pane) state_->pane_map[at(pane)] = pane;
}

WallView::~WallView() = default;

void WallView::place(const WallRect& rect, int border, WallColour background) {
    {
        std::lock_guard lock(mutex_);
        state_->placement = rect;
        state_->border = std::max(border, 0);
        state_->background = background;
        recomputeCellsLocked();
    }
    observers_.wallChanged();
}

void WallView::recomputeCellsLocked() {
    const WallRect& r = state_->placement;
    for (int layout = 0; layout < kLayoutCount; ++layout)
        state_->cells[at(layout)] = layoutCells(layout, r.width(), r.height(), state_->border);
}

WallRect WallView::placement() const {
    std::lock_guard lock(mutex_);
    return state_->placement;
}

int WallView::border() const {
    std::lock_guard lock(mutex_);
    return state_->border;
}

WallColour WallView::background() const {
    std::lock_guard lock(mutex_);
    return state_->background;
}

bool WallView::enterFullScreen(const WallRect& monitor) {
    {
        std::lock_guard lock(mutex_);
        if (state_->full_screen) return false;
        state_->full_screen = true;
        state_->saved_placement = state_->placement;
        state_->placement = monitor;
        recomputeCellsLocked();
    }
    observers_.wallChanged();
    return true;
}

bool WallView::leaveFullScreen() {
    {
        std::lock_guard lock(mutex_);
        if (!state_->full_screen) return false;
        state_->full_screen = false;
        state_->placement = state_->saved_placement;
        state_->border = 1;
        state_->background = kWallBackgroundColour;
        recomputeCellsLocked();
    }
    observers_.wallChanged();
    return true;
}

bool WallView::fullScreen() const {
    std::lock_guard lock(mutex_);
    return state_->full_screen;
}

// ---------------------------------------------------------------------------
// Views

void WallView::initialise(int channel_count) {
    {
        std::lock_guard lock(mutex_);
        state_->channel_count = std::clamp(channel_count, 0, kWallChannels);
        state_->pages = pageTableFor(channel_count, PageTableUse::Initialise);
        state_->page = std::min(state_->page, pageCount(state_->pages, state_->layout) - 1);
        recomputeVisibleLocked();
    }
    observers_.wallChanged();
}

void WallView::startView(int channel_count) {
    {
        std::lock_guard lock(mutex_);
        state_->channel_count = std::clamp(channel_count, 0, kWallChannels);
        state_->pages = pageTableFor(channel_count, PageTableUse::ViewStart);
        state_->layout = layoutForChannelCount(channel_count);
        state_->page = 0;
        active_ = 0;
        active_copy_ = 0;
        recomputeVisibleLocked();
    }
    observers_.wallChanged();
}

void WallView::resetView() {
    {
        std::lock_guard lock(mutex_);
        state_->channel_count = kWallChannels;
        state_->pages = pageTableFor(kWallChannels, PageTableUse::ViewStart);
        state_->layout = 14;
        state_->page = 0;
        active_ = 0;
        active_copy_ = 0;
        recomputeVisibleLocked();
    }
    observers_.wallChanged();
}

int WallView::channelCount() const {
    std::lock_guard lock(mutex_);
    return state_->channel_count;
}

// ---------------------------------------------------------------------------
// Layouts and panes

void WallView::recomputeVisibleLocked() {
    state_->visible = visiblePanes(state_->layout, state_->page, state_->channel_count);
}

bool WallView::pageShowsActiveLocked() const {
    const std::uint16_t active = active_;
    for (int pane = 0; pane < kWallPanes; ++pane) {
        if ((state_->visible & bit(pane)) != 0 && (active & bit(state_->pane_map[at(pane)])) != 0)
            return true;
    }
    return false;
}

bool WallView::selectLayout(int layout) {
    if (!isValidLayout(layout)) return false;
    {
        std::lock_guard lock(mutex_);
        State& v = *state_;
        const int pages = pageCount(v.pages, layout);
        if (layout != v.layout) {
            v.layout = layout;
            v.page = 0;
        } else if (!v.hold_page) {
            v.page = (v.page + 1) % pages;
        }
        v.page = std::min(v.page, pages - 1);
        v.hold_page = false;
        active_copy_ = 0;
        recomputeVisibleLocked();

        // Skip pages on which no pane shows a delivered channel.
        constexpr int kMaxPageAdvances = 17;
        if (active_ != 0) {
            int advances = 0;
            while (!pageShowsActiveLocked()) {
                if (++advances > kMaxPageAdvances) {
                    v.page = 0;
                    recomputeVisibleLocked();
                    break;
                }
                v.page = (v.page + 1) % pages;
                recomputeVisibleLocked();
            }
        }
    }
    observers_.wallChanged();
    return true;
}

bool WallView::selectSingleChannel(int channel) {
    if (!validChannel(channel) || (active_ & bit(channel)) == 0) return false;
    {
        std::lock_guard lock(mutex_);
        State& v = *state_;
        const auto pane = std::ranges::find(v.pane_map, channel);
        if (pane == v.pane_map.end()) return false;
        v.layout = 0;
        v.page = static_cast<int>(pane - v.pane_map.begin());
        v.hold_page = true;
        active_copy_ = 0;
        recomputeVisibleLocked();
    }
    observers_.wallChanged();
    return true;
}

int WallView::layout() const {
    std::lock_guard lock(mutex_);
    return state_->layout;
}

int WallView::page() const {
    std::lock_guard lock(mutex_);
    return state_->page;
}

PageTable WallView::pageTable() const {
    std::lock_guard lock(mutex_);
    return state_->pages;
}

std::uint16_t WallView::visiblePaneMask() const {
    std::lock_guard lock(mutex_);
    return state_->visible;
}

std::uint16_t WallView::visibleChannels() const {
    std::lock_guard lock(mutex_);
    std::uint16_t channels = 0;
    for (int pane = 0; pane < kWallPanes; ++pane) {
        if ((state_->visible & bit(pane)) != 0) channels |= bit(state_->pane_map[at(pane)]);
    }
    return channels;
}

bool WallView::isChannelVisible(int channel) const {
    return validChannel(channel) && (visibleChannels() & bit(channel)) != 0;
}

std::array<int, kWallPanes> WallView::paneMap() const {
    std::lock_guard lock(mutex_);
    return state_->pane_map;
}

bool WallView::exchangePanes(int pane_a, int pane_b) {
    if (!validPane(pane_a) || !validPane(pane_b)) return false;
    {
        // A pane is painted under its channel's lock; holding all of them
        // keeps every painter's idea of its channel stable.
        const auto channel_locks = pictures_.lockAllChannels();
        std::lock_guard lock(mutex_);
        std::swap(state_->pane_map[at(pane_a)], state_->pane_map[at(pane_b)]);
    }
    observers_.wallChanged();
    return true;
}

void WallView::restoreIdentityMap() {
    {
        const auto channel_locks = pictures_.lockAllChannels();
        std::lock_guard lock(mutex_);
        for (int pane = 0; pane < kWallPanes; ++pane) state_->pane_map[at(pane)] = pane;
    }
    observers_.wallChanged();
}

std::optional<WallRect> WallView::paneRect(int pane) const {
    std::lock_guard lock(mutex_);
    const auto index = cellIndexOfPane(state_->layout, state_->page, pane);
    const auto& cells = state_->cells[at(state_->layout)];
    if (!index || at(*index) >= cells.size()) return std::nullopt;
    return cells[at(*index)];
}

std::optional<PictureSize> WallView::paneSizeOfChannel(int channel) const {
    if (!validChannel(channel)) return std::nullopt;
    int pane = 0;
    {
        std::lock_guard lock(mutex_);
        pane = static_cast<int>(std::ranges::find(state_->pane_map, channel) -
                                state_->pane_map.begin());
    }
    const auto rect = paneRect(pane);
    if (!rect) return std::nullopt;
    return PictureSize{rect->width(), rect->height()};
}

ShownPage WallView::shownPage() const {
    std::lock_guard lock(mutex_);
    const State& v = *state_;
    ShownPage page;
    page.cells = v.cells[at(v.layout)];
    page.first_pane = firstPaneOfPage(v.layout, v.page);
    page.visible = v.visible;
    page.pane_map = v.pane_map;
    page.active = active_copy_;
    page.pictures = picture_mask_;
    page.hidden = hidden_;
    return page;
}

// ---------------------------------------------------------------------------
// Pointer

std::optional<int> WallView::paneAtLocked(int x, int y) const {
    const State& v = *state_;
    const std::uint16_t active = active_;
    const auto& cells = v.cells[at(v.layout)];
    for (int pane = 0; pane < kWallPanes; ++pane) {
        if ((v.visible & bit(pane)) == 0 || (active & bit(v.pane_map[at(pane)])) == 0) continue;
        const auto index = cellIndexOfPane(v.layout, v.page, pane);
        if (index && at(*index) < cells.size() && cells[at(*index)].contains(x, y)) return pane;
    }
    return std::nullopt;
}

std::optional<int> WallView::paneAt(int x, int y) const {
    std::lock_guard lock(mutex_);
    return paneAtLocked(x, y);
}

std::optional<int> WallView::beginDrag(int x, int y) const {
    std::lock_guard lock(mutex_);
    if (state_->layout == 0) return std::nullopt;
    return paneAtLocked(x, y);
}

bool WallView::dropPane(int dragged_pane, int x, int y) {
    if (!validPane(dragged_pane)) return false;
    std::optional<int> target;
    {
        std::lock_guard lock(mutex_);
        if (state_->layout == 0) return false;
        target = paneAtLocked(x, y);
    }
    if (!target || *target == dragged_pane) return false;
    return exchangePanes(dragged_pane, *target);
}

DoubleClickResult WallView::doubleClick(std::optional<int> last_hit_pane) {
    bool restored = false;
    int channel = 0;
    int layout = 0;
    int page = 0;
    {
        std::lock_guard lock(mutex_);
        State& v = *state_;
        if (v.single_view) {
            v.single_view = false;
            v.layout = v.saved_layout;
            v.page = std::min(v.saved_page, pageCount(v.pages, v.layout) - 1);
            recomputeVisibleLocked();
            restored = true;
        } else {
            if (!last_hit_pane || !validPane(*last_hit_pane) || v.layout == 0)
                return DoubleClickResult::Nothing;
            channel = v.pane_map[at(*last_hit_pane)];
            layout = v.layout;
            page = v.page;
        }
    }
    if (restored) {
        observers_.wallChanged();
        return DoubleClickResult::Restored;
    }
    if (!selectSingleChannel(channel)) return DoubleClickResult::Nothing;
    {
        std::lock_guard lock(mutex_);
        state_->saved_layout = layout;
        state_->saved_page = page;
        state_->single_view = true;
    }
    return DoubleClickResult::SingleView;
}

bool WallView::singleViewActive() const {
    std::lock_guard lock(mutex_);
    return state_->single_view;
}

void WallView::clearSingleView() {
    std::lock_guard lock(mutex_);
    state_->single_view = false;
}

// ---------------------------------------------------------------------------
// Channel masks

bool WallView::setActiveChannels(std::uint32_t mask, MapReset reset) {
    const std::uint16_t active = belowCount(mask, channelCount());
    const bool changed = active_.exchange(active) != active;
    active_copy_ = active;
    if (reset == MapReset::IdentityWhenEmpty && active == 0) restoreIdentityMap();
    if (changed) observers_.wallChanged();
    return changed;
}

std::uint16_t WallView::activeChannels() const { return active_; }
std::uint16_t WallView::activeCopy() const { return active_copy_; }
std::uint16_t WallView::pictureChannels() const { return picture_mask_; }
void WallView::clearPictureMask() { picture_mask_ = 0; }

bool WallView::setChannelHidden(int channel, bool hidden) {
    if (!validChannel(channel)) return false;
    const std::uint16_t before = hidden ? hidden_.fetch_or(bit(channel))
                                        : hidden_.fetch_and(static_cast<std::uint16_t>(~bit(channel)));
    return ((before & bit(channel)) != 0) != hidden;
}

bool WallView::setHiddenChannels(std::uint16_t mask) { return hidden_.exchange(mask) != mask; }
std::uint16_t WallView::hiddenChannels() const { return hidden_; }

std::uint32_t WallView::withoutHiddenChannels(std::uint32_t live_mask) const {
    return live_mask & ~static_cast<std::uint32_t>(hidden_.load());
}

std::uint16_t WallView::channelsToSave() const {
    return static_cast<std::uint16_t>(visibleChannels() & active_);
}

void WallView::markChannel(int channel) {
    if (!validChannel(channel)) return;
    active_ |= bit(channel);
    active_copy_ |= bit(channel);
    picture_mask_ |= bit(channel);
    observers_.channelMarked(channel);
}

}  // namespace kalix::media
