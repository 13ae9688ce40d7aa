// The one listener to changes a screen made by itself.
#include "platform/ui/ScreenChange.h"

#include <utility>

namespace ui {

namespace {

std::function<void()>& listener()
{
    static std::function<void()> installed;
    return installed;
}

}

std::function<void()> setScreenChangeListener(std::function<void()> newListener)
{
    return std::exchange(listener(), std::move(newListener));
}

void screenChanged()
{
    if (listener())
        listener()();
}

}
