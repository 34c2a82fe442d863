#pragma once
#include "config/config_image.h"

#include <QString>

#include <cstddef>
#include <optional>
#include <vector>

// What an edit was, for the Edit menu, which words it: its kind and the names
// it mentions.
enum class EditKind {
    Route,         // first: the source, second: the destination
    RemoveDevice,  // first: the device
    Open,          // first: the file
    Receive,
};
struct EditDescription {
    EditKind kind = EditKind::Route;
    QString first;
    QString second;
};

// What an edit changed in the image, as far as a view of it needs to know to
// update only that.
struct ImageChange {
    enum class Kind {
        Devices,  // the devices may differ: their table, and the matrix's size and names
        Routes,   // the same devices; any routes may have been switched
        Route,    // the same devices; `route` alone was switched
    };
    Kind kind = Kind::Devices;
    Route route{Route::kRouter, Route::kRouter};
};

// Hears what changed in the configuration being edited.
class DocumentListener {
public:
    virtual ~DocumentListener() = default;
    virtual void imageChanged(const ImageChange& change) = 0;
    // The modified mark or the undo history changed, the image perhaps not.
    virtual void historyChanged() = 0;
};

// The configuration being edited, owned once for the whole run: the image, the
// undo history of whole images, and the image last stored (received, sent or
// saved) that the modified mark compares against. Every change goes through
// its edits and is announced to the one listener.
class ConfigDocument {
public:
    // 1000 edits of two images each: 8 MB at most.
    static constexpr std::size_t kHistoryLimit = 1000;

    void setListener(DocumentListener* listener) { listener_ = listener; }

    const ConfigImage& image() const { return image_; }
    // The image differs from what was last stored.
    bool modified() const { return image_ != stored_; }

    // Starts afresh from an image as stored: no history, not modified.
    void load(const ConfigImage& image);

    // Undoable edits. A toggle is refused (false) only when the route needs a new
    // entry and the table is full; replace() records nothing when the image is
    // the same.
    bool toggle(const Route& route, EditDescription what);
    void removeDevice(int slot, EditDescription what);
    void replace(const ConfigImage& image, EditDescription what);
    // The same, for an image the router or a file holds as it is (a receive): one
    // undoable edit, announced once, after which the document is not modified.
    void replaceStored(const ConfigImage& image, EditDescription what);
    // The router or a file now holds the image as it is.
    void markStored();

    bool canUndo() const { return done_ > 0; }
    bool canRedo() const { return done_ < steps_.size(); }
    // Of the edit undo() or redo() would take back or make again.
    const EditDescription& undoDescription() const { return steps_[done_ - 1].what; }
    const EditDescription& redoDescription() const { return steps_[done_].what; }
    void undo();
    void redo();

private:
    struct Step {
        ConfigImage before;
        ConfigImage after;
        EditDescription what;
        std::optional<Route> route;  // the one route the step switched, when that is all it did
    };
    void record(const ConfigImage& before, EditDescription what, std::optional<Route> route = std::nullopt);
    void announce(const ConfigImage& before, std::optional<Route> route);
    void show(const ConfigImage& image, std::optional<Route> route);

    ConfigImage image_;
    ConfigImage stored_;
    std::vector<Step> steps_;
    std::size_t done_ = 0;  // steps_[0, done_) are applied
    DocumentListener* listener_ = nullptr;
};
