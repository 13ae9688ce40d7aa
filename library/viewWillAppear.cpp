// The library screen about to be shown: the platform's own preparation, a scan of the documents
// folder, and one reload of the table whether or not the scan changed anything.
#include "app/ViewController.h"

#include "library/scanLibrary.h"

void ViewController::viewWillAppear(bool animated)
{
    ui::TableViewController::viewWillAppear(animated);
    scanLibrary(m_backgroundWork);
    tableView()->reloadData();
}
