#pragma once
#include "core/session_types.h"

#include <map>
#include <vector>

// A SessionView that remembers what it was told, for tests without a window.
class RecordingView : public SessionView {
public:
    void appendLog(const LogMessage& message) override { log.push_back(message); }
    void insertLogText(const QString& text) override { inserted += text; stars += text.count(QLatin1Char('*')); }
    void setButtonEnabled(Button button, bool enabled) override { buttons[button] = enabled; }
    void rebuildGrids() override { ++rebuilds; }
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
        auto it = buttons.find(button);
        return it != buttons.end() && it->second;
    }

    std::vector<LogMessage> log;
    std::vector<LogMessage> errors;
    std::map<Button, bool> buttons;
    QString inserted;
    int stars = 0;
    int rebuilds = 0;
};
