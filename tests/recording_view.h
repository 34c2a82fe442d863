#pragma once
#include "core/session_types.h"
#include "ui/button_states.h"

#include <vector>

// The buttons as the window would set them from the published status.
enum class Button { Receive, Send, HexFile, Update };

// A SessionView that remembers what it was told, for tests without a window.
class RecordingView : public SessionView {
public:
    void logMessage(const LogMessage& message) override { log.push_back(message); }
    void progressStep() override { ++stars; }
    void statusChanged(const RouterStatus& published) override
    {
        status = published;
        ++statusChanges;
    }
    void showError(const LogMessage& message) override { errors.push_back(message); }

    std::vector<Msg> ids() const
    {
        std::vector<Msg> result;
        for (const LogMessage& m : log)
            result.push_back(m.id);
        return result;
    }
    bool enabled(Button button) const
    {
        const ButtonStates states = buttonStates(status);
        switch (button) {
        case Button::Receive:
            return states.receive;
        case Button::Send:
            return states.send;
        case Button::HexFile:
            return states.hexFile;
        case Button::Update:
            return states.update;
        }
        return false;
    }

    std::vector<LogMessage> log;
    std::vector<LogMessage> errors;
    RouterStatus status;
    int statusChanges = 0;
    int stars = 0;
};
