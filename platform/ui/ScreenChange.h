// ScreenChange: what a screen shows changed by itself, outside any user's event (a row's picture
// arrived from a thread that read it), so whoever draws the screens must look again. The
// application tells; the side that draws listens. Main thread only.
#pragma once

#include <functional>

namespace ui {

// Replaces the listener; answers the one that was in place. An empty one hears nothing.
std::function<void()> setScreenChangeListener(std::function<void()> listener);

// Called once the view tree shows the change.
void screenChanged();

}
