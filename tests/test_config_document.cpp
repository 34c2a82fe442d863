#include "core/config_document.h"
#include "sim/sim_router.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {
// What the window would be told, in order.
struct Heard final : DocumentListener {
    // D: the devices may differ; R: any routes; one route: r and its two ends.
    void imageChanged(const ImageChange& change) override
    {
        if (change.kind == ImageChange::Kind::Route)
            changes += "r" + std::to_string(change.route.source) + ">" + std::to_string(change.route.destination);
        else
            changes.push_back(change.kind == ImageChange::Kind::Devices ? 'D' : 'R');
    }
    void historyChanged() override { changes.push_back('h'); }
    std::string changes;
};

ConfigImage twoDevices()
{
    ConfigImage image = ConfigImage::empty();
    putDevice(image, 0, 1, 1, 1, 2, "Keys");
    putDevice(image, 1, 2, 2, 2, 3, "Synth");
    return image;
}
} // namespace

// A window refills only what an edit changed: one route switched, by a click,
// its undo or its redo, is that one route (also a route of the router's own
// ports, whose masks live in the device entries); a removal and its undo may
// change the devices; a whole image with the same devices, any routes.
TEST(ConfigDocument, AnnouncesWhatEachEditChanged)
{
    ConfigDocument document;
    Heard heard;
    document.setListener(&heard);
    document.load(twoDevices());
    EXPECT_EQ(heard.changes, "Dh");
    EXPECT_FALSE(document.modified());

    struct Case {
        const char* name;
        std::function<void()> edit;
        std::string heard;
    };
    const std::vector<Case> cases = {
        {"route between devices", [&] { document.toggle({0, 3}, {}); }, "r0>3h"},
        {"route from the router's MIDI In", [&] { document.toggle({Route::kRouter, 2}, {}); }, "r-1>2h"},
        {"device removed", [&] { document.removeDevice(0, {}); }, "Dh"},
        {"undo of the removal", [&] { document.undo(); }, "Dh"},
        {"undo of the router's route", [&] { document.undo(); }, "r-1>2h"},
        {"undo of the route between devices", [&] { document.undo(); }, "r0>3h"},
        {"redo", [&] { document.redo(); }, "r0>3h"},
        {"same devices, other routes", [&] {
             ConfigImage other = document.image();
             other.toggleMidiThru();
             other.toggleRoute(1, 2, 0, 1);
             document.replace(other, {});
         }, "Rh"},
        {"same image again: nothing recorded", [&] { document.replace(document.image(), {}); }, ""},
        {"a received image, stored as it is: one announcement", [&] {
             ConfigImage received = document.image();
             received.toggleRoute(0, 0, 1, 0);
             document.replaceStored(received, {});
             EXPECT_FALSE(document.modified());
             EXPECT_TRUE(document.canUndo());
         }, "Rh"},
        {"the same image received again: only the mark", [&] {
             document.toggle({0, 3}, {});
             heard.changes.clear();
             document.replaceStored(document.image(), {});
             EXPECT_FALSE(document.modified());
         }, "h"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        heard.changes.clear();
        c.edit();
        EXPECT_EQ(heard.changes, c.heard);
    }
}

TEST(ConfigDocument, ModifiedMeansDifferentFromWhatWasLastStored)
{
    ConfigDocument document;
    document.load(twoDevices());
    document.toggle({0, 3}, {});
    EXPECT_TRUE(document.modified());
    document.markStored();
    EXPECT_FALSE(document.modified());
    document.undo();
    EXPECT_TRUE(document.modified()) << "undone past what was stored";
    document.redo();
    EXPECT_FALSE(document.modified());
    document.replace(ConfigImage::empty(), {EditKind::Open, QStringLiteral("empty.qorv"), {}});
    EXPECT_TRUE(document.modified());
    EXPECT_EQ(document.undoDescription().first, QStringLiteral("empty.qorv"));
}

// An edit after an undo drops what could have been redone; the oldest edits go
// beyond the limit, and the history then undoes exactly that far.
TEST(ConfigDocument, HistoryDropsRedoAndKeepsItsLimit)
{
    ConfigDocument document;
    document.load(twoDevices());
    document.toggle({0, 3}, {});
    document.undo();
    document.toggle({1, 4}, {});
    EXPECT_FALSE(document.canRedo());
    document.undo();
    EXPECT_EQ(document.image(), twoDevices());
    EXPECT_FALSE(document.canUndo());

    document.load(twoDevices());
    for (std::size_t i = 0; i < ConfigDocument::kHistoryLimit + 5; ++i)
        document.toggle({0, 3}, {});
    std::size_t undone = 0;
    while (document.canUndo()) {
        document.undo();
        ++undone;
    }
    EXPECT_EQ(undone, ConfigDocument::kHistoryLimit);
    ConfigImage oldest = twoDevices();
    oldest.toggle({0, 3});  // five toggles were forgotten: an odd number
    EXPECT_EQ(document.image(), oldest);
}
