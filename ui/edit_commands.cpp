#include "ui/edit_commands.h"

#include "text/texts.h"

ImageEdit::ImageEdit(const ConfigImage& before, const ConfigImage& after, Description description, Apply apply)
    : before_(before), after_(after), description_(std::move(description)), apply_(std::move(apply))
{
}

void ImageEdit::translate(UiLanguage language)
{
    QString text = uiText(static_cast<Text>(description_.text), language);
    if (text.contains(QLatin1String("%2")))
        text = text.arg(description_.first, description_.second);
    else if (text.contains(QLatin1String("%1")))
        text = text.arg(description_.first);
    setText(text);
}
