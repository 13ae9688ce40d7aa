// Finding the Pagewyn that serves a library and printing its address.
#include "app/AddressCommand.h"

#include "platform/desktop/HandoffClient.h"
#include "platform/desktop/InstanceFile.h"
#include "platform/foundation/FileManager.h"

#include <iostream>

int runAddressCommand(const std::optional<std::string>& documents)
{
    if (documents)
        foundation::FileManager::setDocumentsDirectoryOverride(*documents);
    auto folders = foundation::FileManager().urlsForDirectory(
        foundation::SearchPathDirectory::documentDirectory,
        foundation::SearchPathDomainMask::userDomainMask);
    const std::string folder = desktop::normalizedDocumentsFolder(folders.front().path());
    // Only an instance that listens where its file says and answers with its token is named: the
    // file of a killed Pagewyn never sends a person to whoever took its port.
    auto instance = desktop::findRunningInstance(folder);
    if (!instance) {
        std::cerr << "pagewyn: no Pagewyn serves the library " << folder << std::endl;
        return 1;
    }
    // A Pagewyn started before its file held the address is reached on this computer.
    std::cout << (instance->address.empty() ? instance->origin + "/?token=" + instance->token
                                            : instance->address)
              << std::endl;
    return 0;
}
