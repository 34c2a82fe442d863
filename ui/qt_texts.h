#pragma once
#include "text/messages.h"

#include <QTranslator>

// Qt's own texts (the buttons of message boxes, file and colour dialogs) in the
// interface language. They come from Qt's translation files: the system's, or a
// "translations" folder beside the program.
class QtTexts {
public:
    QtTexts() = default;
    QtTexts(const QtTexts&) = delete;
    QtTexts& operator=(const QtTexts&) = delete;
    ~QtTexts();

    // False when no translation for the language could be found (Qt's English then).
    bool use(UiLanguage language);

private:
    QTranslator translator_;
    bool installed_ = false;
};
