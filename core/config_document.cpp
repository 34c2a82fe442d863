#include "core/config_document.h"

#include <algorithm>
#include <utility>

namespace {
// The device table shows only the device entries.
bool sameDevices(const ConfigImage& a, const ConfigImage& b)
{
    return std::equal(a.rawBytes(), a.rawBytes() + kDeviceSlots * kDeviceEntrySize, b.rawBytes());
}
} // namespace

void ConfigDocument::load(const ConfigImage& image)
{
    image_ = image;
    stored_ = image;
    steps_.clear();
    done_ = 0;
    if (listener_) {
        listener_->imageChanged(true);
        listener_->historyChanged();
    }
}

bool ConfigDocument::toggle(const Route& route, EditDescription what)
{
    const ConfigImage before = image_;
    if (!image_.toggle(route))
        return false;
    record(before, std::move(what));
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

void ConfigDocument::markStored()
{
    const bool was = modified();
    stored_ = image_;
    if (was && listener_)
        listener_->historyChanged();
}

void ConfigDocument::record(const ConfigImage& before, EditDescription what)
{
    steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(done_), steps_.end());
    if (steps_.size() == kHistoryLimit)
        steps_.erase(steps_.begin());
    steps_.push_back({before, image_, std::move(what)});
    done_ = steps_.size();
    announce(before);
}

void ConfigDocument::undo()
{
    if (!canUndo())
        return;
    --done_;
    show(steps_[done_].before);
}

void ConfigDocument::redo()
{
    if (!canRedo())
        return;
    ++done_;
    show(steps_[done_ - 1].after);
}

void ConfigDocument::show(const ConfigImage& image)
{
    const ConfigImage before = image_;
    image_ = image;
    announce(before);
}

void ConfigDocument::announce(const ConfigImage& before)
{
    if (!listener_)
        return;
    if (image_ != before)
        listener_->imageChanged(!sameDevices(before, image_));
    listener_->historyChanged();
}
