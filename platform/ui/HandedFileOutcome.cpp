// The one listener for the outcome of a handed file.
#include "platform/ui/HandedFileOutcome.h"

#include <utility>

namespace ui {

namespace {
HandedFileListener& currentListener()
{
    static HandedFileListener listener;
    return listener;
}
}

HandedFileListener setHandedFileListener(HandedFileListener listener)
{
    return std::exchange(currentListener(), std::move(listener));
}

void reportHandedFile(const foundation::Result<void>& outcome)
{
    if (auto& listener = currentListener())
        listener(outcome);
}

}
