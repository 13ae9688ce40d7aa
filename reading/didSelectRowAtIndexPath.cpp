// A tap on a book's row. Opening books in the reader comes with the reading screen; until then
// the tap says so on the console and changes nothing.
#include "app/ViewController.h"

#include "platform/foundation/Console.h"

void ViewController::didSelectRowAtIndexPath(ui::TableView&, ui::IndexPath)
{
    foundation::console("open: not available yet");
}
