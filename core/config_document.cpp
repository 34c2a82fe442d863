#include "core/config_document.h"

#include <algorithm>
#include <utility>

namespace {
// The same devices, as the device table and the matrix's names show them: their
// entries alike but for the MIDI In and Out masks, which hold routes.
bool sameDevices(const ConfigImage& a, const ConfigImage& b)
{
    for (std::size_t slot = 0; slot < kDeviceSlots; ++slot) {
        const std::uint8_t* x = a.rawBytes() + slot * kDeviceEntrySize;
        const std::uint8_t* y = b.rawBytes() + slot * kDeviceEntrySize;
        for (std::size_t i = 0; i < kDeviceEntrySize; ++i)
            if (x[i] != y[i] && i != DeviceField::kMidiOutMask && i != DeviceField::kMidiInMask)
                return false;
    }
    return true;
}
} // namespace

void ConfigDocument::load(const ConfigImage& image)
{
    image_ = image;
    stored_ = image;
    steps_.clear();
    done_ = 0;
    if (listener_) {
        listener_->imageChanged({});
        listener_->historyChanged();
    }
}

bool ConfigDocument::toggle(const Route& route, EditDescription what)
{
    const ConfigImage before = image_;
    if (!image_.toggle(route))
        return false;
    record(before, std::move(what), route);
    return true;
}

void ConfigDocument::removeDevice(int slot, EditDescription what)
{
    const ConfigImage before = image_;
    image_.removeDevice(slot);
    if (image_ != before)
        record(before, std::move(what));
}

void ConfigDocument::replace(const ConfigImage& image, EditDescription what)
{
    if (image == image_)
        return;
    const ConfigImage before = image_;
    image_ = image;
    record(before, std::move(what));
}

void ConfigDocument::replaceStored(const ConfigImage& image, EditDescription what)
{
    if (image == image_) {
        markStored();
        return;
    }
    // Stored before the edit is announced, so its one announcement already says "not modified".
    stored_ = image;
    replace(image, std::move(what));
}

void ConfigDocument::markStored()
{
    const bool was = modified();
    stored_ = image_;
    if (was && listener_)
        listener_->historyChanged();
}

void ConfigDocument::record(const ConfigImage& before, EditDescription what, std::optional<Route> route)
{
    steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(done_), steps_.end());
    if (steps_.size() == kHistoryLimit)
        steps_.erase(steps_.begin());
    steps_.push_back({before, image_, std::move(what), route});
    done_ = steps_.size();
    announce(before, route);
}

void ConfigDocument::undo()
{
    if (!canUndo())
        return;
    --done_;
    show(steps_[done_].before, steps_[done_].route);
}

void ConfigDocument::redo()
{
    if (!canRedo())
        return;
    ++done_;
    show(steps_[done_ - 1].after, steps_[done_ - 1].route);
}

void ConfigDocument::show(const ConfigImage& image, std::optional<Route> route)
{
    const ConfigImage before = image_;
    image_ = image;
    announce(before, route);
}

void ConfigDocument::announce(const ConfigImage& before, std::optional<Route> route)
{
    if (!listener_)
        return;
    if (image_ != before) {
        ImageChange change;
        if (sameDevices(before, image_)) {
            change.kind = route ? ImageChange::Kind::Route : ImageChange::Kind::Routes;
            if (route)
                change.route = *route;
        }
        listener_->imageChanged(change);
    }
    listener_->historyChanged();
}
