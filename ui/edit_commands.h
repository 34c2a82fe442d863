#pragma once
#include "config/config_image.h"
#include "text/messages.h"

#include <QString>
#include <QUndoCommand>

#include <functional>

// One edit of the configuration on screen, undone and redone as whole images:
// 4096 bytes each way cost less than working an edit backwards, and every kind of
// edit (a route, a removal, a file opened, a configuration received) is alike.
class ImageEdit : public QUndoCommand {
public:
    using Apply = std::function<void(const ConfigImage&)>;
    // What the menu says the edit was, in a language: a Text key and its arguments.
    struct Description {
        int text = 0;  // a Text value
        QString first;
        QString second;
    };

    ImageEdit(const ConfigImage& before, const ConfigImage& after, Description description, Apply apply);

    // The edit is made before it is pushed; pushing runs redo() once, which then
    // has nothing left to change.
    void undo() override { apply_(before_); }
    void redo() override
    {
        if (!pushed_)
            pushed_ = true;
        else
            apply_(after_);
    }
    // Sets the command's text in the language now shown.
    void translate(UiLanguage language);

private:
    ConfigImage before_;
    ConfigImage after_;
    Description description_;
    Apply apply_;
    bool pushed_ = false;
};
