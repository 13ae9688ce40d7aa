// MetadataScan: the folder's stored entries, loaded a window of names at a time, checked against
// the files as the scan asks, and each window's fresh reads written once the scan is past it.
#include "frameworks/folioreader/metadata/MetadataScan.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace folioreader {

namespace {

std::atomic<MetadataScan*> activeScan { nullptr };
std::atomic<std::size_t> namesPerWindow { 2048 };
std::atomic<std::uint64_t> scansBegun { 0 };

std::chrono::system_clock::time_point timeOf(std::int64_t seconds, std::int64_t nanoseconds)
{
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(seconds) + std::chrono::nanoseconds(nanoseconds)));
}

// The stamp, package name, title, author, identifier and language in one string, each after its
// length: one allocation per book read afresh, held until its window is written.
std::string pack(const MetadataStore::Entry& entry)
{
    std::string packed;
    for (const std::string* field : { &entry.stamp, &entry.packageName, &entry.title, &entry.author,
             &entry.identifier, &entry.language }) {
        auto size = std::uint32_t(field->size());
        packed.append(reinterpret_cast<const char*>(&size), sizeof size);
        packed += *field;
    }
    return packed;
}

MetadataStore::Entry unpack(const std::string& name, const std::string& packed)
{
    MetadataStore::Entry entry { name, {}, {}, {}, {}, {}, {} };
    std::size_t at = 0;
    for (std::string* field : { &entry.stamp, &entry.packageName, &entry.title, &entry.author,
             &entry.identifier, &entry.language }) {
        std::uint32_t size = 0;
        if (at + sizeof size > packed.size())
            break;
        std::memcpy(&size, packed.data() + at, sizeof size);
        at += sizeof size;
        *field = packed.substr(at, size);
        at += size;
    }
    return entry;
}

MetadataScan::Metadata metadataOf(MetadataStore::Entry entry)
{
    return { std::move(entry.title), std::move(entry.author), std::move(entry.identifier),
        std::move(entry.language) };
}

}

std::string encodeStamp(const std::vector<FileIdentity>& stamp)
{
    std::string bytes;
    for (const FileIdentity& identity : stamp) {
        const std::int64_t fields[] = { std::int64_t(identity.device), std::int64_t(identity.inode),
            identity.size, identity.modifiedSeconds, identity.modifiedNanoseconds,
            identity.changedSeconds, identity.changedNanoseconds };
        bytes.append(reinterpret_cast<const char*>(fields), sizeof fields);
    }
    return bytes;
}

bool isSettled(const std::vector<FileIdentity>& stamp,
    std::chrono::system_clock::time_point readStart, std::chrono::nanoseconds window)
{
    const auto settledBefore = readStart - window;
    for (const FileIdentity& identity : stamp) {
        // A write dates a file in the present. A modification date past the read's start was set
        // by hand (a copy from a machine whose clock runs ahead): it tells nothing, and the
        // change time, which no one sets, tells whether the file is being written.
        auto modified = timeOf(identity.modifiedSeconds, identity.modifiedNanoseconds);
        bool modifiedLately = modified >= settledBefore && modified <= readStart;
        if (modifiedLately
            || timeOf(identity.changedSeconds, identity.changedNanoseconds) >= settledBefore)
            return false;
    }
    return true;
}

std::unique_ptr<MetadataScan> MetadataScan::begin(std::shared_ptr<MetadataStore> store,
    const std::string& folder, const std::vector<std::string>& names,
    const std::vector<char>& asked)
{
    if (!store)
        return nullptr;
    std::unique_ptr<MetadataScan> scan(new MetadataScan(std::move(store), folder, names, asked));
    activeScan.store(scan.get());
    return scan;
}

MetadataScan* MetadataScan::active()
{
    return activeScan.load();
}

void MetadataScan::setWindowSize(std::size_t names)
{
    namesPerWindow.store(std::max<std::size_t>(names, 1));
}

MetadataScan::MetadataScan(std::shared_ptr<MetadataStore> store, std::string folder,
    const std::vector<std::string>& names, const std::vector<char>& asked)
    : m_store(std::move(store))
    , m_folder(std::move(folder))
    , m_windowSize(namesPerWindow.load())
    , m_serial(++scansBegun)
    , m_names(names)
{
    const std::size_t windows = (names.size() + m_windowSize - 1) / m_windowSize;
    m_windowAsked.assign(windows, 0);
    for (std::size_t k = 0; k < names.size() && k < asked.size(); ++k)
        m_windowAsked[k / m_windowSize] |= asked[k];
    m_windowStates.assign(windows, WindowState::unloaded);
    m_windows.resize(windows);
    taken(0);
}

MetadataScan::~MetadataScan()
{
    MetadataScan* self = this;
    activeScan.compare_exchange_strong(self, nullptr);
}

std::optional<std::size_t> MetadataScan::indexOf(std::string_view name) const
{
    auto at = std::lower_bound(m_names.begin(), m_names.end(), name,
        [](const std::string& listed, std::string_view wanted) {
            return std::string_view(listed) < wanted;
        });
    if (at == m_names.end() || *at != name)
        return std::nullopt;
    return std::size_t(at - m_names.begin());
}

// One query over the window's range of names, its rows' bytes copied into blocks filled one after
// the other and never moved; its rows matched with its items as both come in name order.
std::shared_ptr<MetadataScan::Window> MetadataScan::load(std::size_t index) const
{
    constexpr std::size_t blockSize = 64 << 10;
    const std::size_t first = index * m_windowSize;
    const std::size_t end = std::min(first + m_windowSize, m_names.size());
    auto window = std::make_shared<Window>();
    const std::string from = index == 0 ? std::string() : m_names[first];
    m_store->forEachStoredRow(m_folder, from, end < m_names.size() ? &m_names[end] : nullptr,
        [&](const MetadataStore::StoredRow& stored) {
            const std::string_view values[] = { stored.name, stored.stamp, stored.packageName,
                stored.title, stored.author, stored.identifier, stored.language };
            std::size_t size = 0;
            for (std::string_view value : values)
                size += value.size();
            if (window->blocks.empty()
                || window->blocks.back().capacity() - window->blocks.back().size() < size)
                window->blocks.emplace_back().reserve(std::max(blockSize, size));
            std::string& block = window->blocks.back();
            Row row { std::uint32_t(window->blocks.size() - 1), std::uint32_t(block.size()), {},
                stored.checksum };
            int at = 0;
            for (std::string_view value : values) {
                row.sizes[at++] = std::uint32_t(value.size());
                block += value;
            }
            window->rows.push_back(row);
        });
    window->rowStates.assign(window->rows.size(), RowState::unchecked);
    window->rowListed.assign(window->rows.size(), 0);
    window->rowOfItem.assign(end - first, -1);
    window->fresh.resize(end - first);
    window->freshSettled.assign(end - first, 0);
    std::size_t item = first;
    for (std::size_t row = 0; row < window->rows.size(); ++row) {
        std::string_view name = field(*window, window->rows[row], 0);
        while (item < end && std::string_view(m_names[item]) < name)
            ++item;
        if (item < end && m_names[item] == name) {
            window->rowOfItem[item - first] = std::int32_t(row);
            window->rowListed[row] = 1;
        }
    }
    return window;
}

std::shared_ptr<MetadataScan::Window> MetadataScan::loadedWindow(
    std::size_t index, std::unique_lock<std::mutex>& lock)
{
    m_windowLoaded.wait(lock, [&] { return m_windowStates[index] != WindowState::loading; });
    if (m_windowStates[index] == WindowState::unloaded) {
        // Loaded without the mutex: the readers go on in the windows already loaded meanwhile.
        m_windowStates[index] = WindowState::loading;
        lock.unlock();
        auto window = load(index);
        lock.lock();
        m_windows[index] = std::move(window);
        m_windowStates[index] = WindowState::loaded;
        m_windowLoaded.notify_all();
    }
    return m_windows[index];
}

std::string_view MetadataScan::field(const Window& window, const Row& row, int index) const
{
    std::size_t at = row.at;
    for (int before = 0; before < index; ++before)
        at += row.sizes[before];
    return std::string_view(window.blocks[row.block]).substr(at, row.sizes[index]);
}

std::optional<std::string> MetadataScan::nameOf(const std::string& path) const
{
    if (path.size() <= m_folder.size() + 1 || path.compare(0, m_folder.size(), m_folder) != 0
        || path[m_folder.size()] != '/')
        return std::nullopt;
    std::string name = path.substr(m_folder.size() + 1);
    if (name.find('/') != std::string::npos)
        return std::nullopt;
    return name;
}

std::optional<MetadataScan::Metadata> MetadataScan::lookup(
    const std::string& name, const std::string& path, const struct stat* itemStatus)
{
    if (auto index = indexOf(name)) {
        std::unique_lock lock(m_mutex);
        if (auto window = loadedWindow(*index / m_windowSize, lock))
            return lookupInWindow(*window, *index % m_windowSize, path, itemStatus, lock);
    }
    return lookupSlot(name, path, itemStatus);
}

std::optional<MetadataScan::Metadata> MetadataScan::lookupInWindow(Window& window, std::size_t item,
    const std::string& path, const struct stat* itemStatus, std::unique_lock<std::mutex>& lock)
{
    if (!window.fresh[item].empty())
        return metadataOf(unpack(std::string(), window.fresh[item]));
    const std::int32_t row = window.rowOfItem[item];
    if (row < 0)
        return std::nullopt;
    RowState state = window.rowStates[std::size_t(row)];
    // The row's bytes do not change once loaded: checked without the mutex.
    lock.unlock();
    const Row& stored = window.rows[std::size_t(row)];
    if (state == RowState::unchecked) {
        MetadataStore::StoredRow view { field(window, stored, 0), field(window, stored, 1),
            field(window, stored, 2), field(window, stored, 3), field(window, stored, 4),
            field(window, stored, 5), field(window, stored, 6), stored.checksum };
        bool usable = MetadataStore::checksumHolds(m_folder, view);
        if (usable) {
            auto current = currentStamp(path, std::string(view.packageName), itemStatus);
            usable = current && encodeStamp(*current) == view.stamp;
        }
        state = usable ? RowState::verified : RowState::unusable;
        lock.lock();
        window.rowStates[std::size_t(row)] = state;
        lock.unlock();
    }
    if (state != RowState::verified)
        return std::nullopt;
    return Metadata { std::string(field(window, stored, 3)), std::string(field(window, stored, 4)),
        std::string(field(window, stored, 5)), std::string(field(window, stored, 6)) };
}

std::optional<MetadataScan::Metadata> MetadataScan::lookupSlot(
    const std::string& name, const std::string& path, const struct stat* itemStatus)
{
    std::string packed;
    {
        std::lock_guard lock(m_mutex);
        auto slot = m_slots.find(name);
        if (slot == m_slots.end()) {
            auto entry = m_store->entryOf(m_folder, name);
            if (!entry)
                return std::nullopt;
            slot = m_slots.emplace(name, Slot { pack(*entry) }).first;
        }
        if (slot->second.verified)
            return metadataOf(unpack(name, slot->second.packed));
        if (slot->second.stale)
            return std::nullopt;
        packed = slot->second.packed;
    }
    auto entry = unpack(name, packed);
    auto current = currentStamp(path, entry.packageName, itemStatus);
    bool unchanged = current && encodeStamp(*current) == entry.stamp;
    std::lock_guard lock(m_mutex);
    auto slot = m_slots.find(name);
    if (slot == m_slots.end() || slot->second.packed != packed)
        return std::nullopt;
    if (!unchanged) {
        slot->second.stale = true;
        return std::nullopt;
    }
    slot->second.verified = true;
    return metadataOf(std::move(entry));
}

void MetadataScan::remember(const std::string& name, const std::vector<FileIdentity>& stamp,
    const std::string& packageName, const Metadata& metadata,
    std::chrono::system_clock::time_point readStart)
{
    bool settled = isSettled(stamp, readStart, m_store->unsettledWindow());
    std::string packed = pack(MetadataStore::Entry { name, encodeStamp(stamp), packageName,
        metadata.title, metadata.author, metadata.identifier, metadata.language });
    auto index = indexOf(name);
    std::lock_guard lock(m_mutex);
    // Unsettled metadata still answers the rest of this scan (the author after the title) but is
    // not written, and an older entry of the item is dropped.
    if (index && m_windowStates[*index / m_windowSize] == WindowState::loaded) {
        Window& window = *m_windows[*index / m_windowSize];
        window.fresh[*index % m_windowSize] = std::move(packed);
        window.freshSettled[*index % m_windowSize] = settled;
        return;
    }
    Slot& slot = m_slots[name];
    slot.packed = std::move(packed);
    slot.verified = true;
    slot.fresh = settled;
    slot.stale = !settled;
}

void MetadataScan::taken(std::size_t end)
{
    const std::size_t current = end / m_windowSize;
    if (current == m_windowReached)
        return;
    m_windowReached = current;
    while (m_unwritten < current && m_unwritten < m_windows.size())
        write(m_unwritten++);
    for (std::size_t index : { current, current + 1 }) {
        if (index < m_windows.size() && m_windowAsked[index]) {
            std::unique_lock lock(m_mutex);
            loadedWindow(index, lock);
        }
    }
}

// In one transaction, in name order: the entries read afresh, and the drop of rows no longer
// usable, of items no longer listed, and of items whose files had only just changed.
void MetadataScan::write(std::size_t index)
{
    std::shared_ptr<Window> window;
    std::vector<std::string> dropped;
    std::vector<std::size_t> written;
    {
        std::unique_lock lock(m_mutex);
        m_windowLoaded.wait(lock, [&] { return m_windowStates[index] != WindowState::loading; });
        window = std::move(m_windows[index]);
        m_windowStates[index] = WindowState::written;
        if (!window)
            return;
        // A reader asking after this goes to the slots: the window changes no more.
        for (std::size_t item = 0; item < window->fresh.size(); ++item) {
            bool read = !window->fresh[item].empty();
            if (read && window->freshSettled[item])
                written.push_back(item);
            else if (std::int32_t row = window->rowOfItem[item]; row >= 0
                     && (read || window->rowStates[std::size_t(row)] == RowState::unusable))
                dropped.emplace_back(field(*window, window->rows[std::size_t(row)], 0));
        }
    }
    for (std::size_t row = 0; row < window->rows.size(); ++row) {
        if (!window->rowListed[row])
            dropped.emplace_back(field(*window, window->rows[row], 0));
    }
    const std::size_t first = index * m_windowSize;
    std::size_t next = 0;
    m_store->commitInOrder(
        m_folder,
        [&]() -> std::optional<MetadataStore::Entry> {
            if (next == written.size())
                return std::nullopt;
            std::size_t item = written[next++];
            return unpack(m_names[first + item], window->fresh[item]);
        },
        dropped);
    m_wroteFresh = m_wroteFresh || !written.empty();
}

bool MetadataScan::finish()
{
    // A scan stopped early writes what it read; the windows it did not reach stay as stored.
    for (std::size_t index = 0; index < m_windows.size(); ++index)
        write(index);
    std::unordered_map<std::string, Slot> slots;
    {
        std::lock_guard lock(m_mutex);
        slots.swap(m_slots);
    }
    // Items asked for outside the windows: written in name order; dropped when their files
    // changed, or when they are not listed.
    std::vector<std::string> dropped;
    std::vector<const std::pair<const std::string, Slot>*> fresh;
    for (const auto& item : slots) {
        if (item.second.fresh)
            fresh.push_back(&item);
        else if (item.second.stale || !indexOf(item.first))
            dropped.push_back(item.first);
    }
    std::sort(fresh.begin(), fresh.end(),
        [](const auto* a, const auto* b) { return a->first < b->first; });
    std::size_t next = 0;
    m_store->commitInOrder(
        m_folder,
        [&]() -> std::optional<MetadataStore::Entry> {
            if (next == fresh.size())
                return std::nullopt;
            const auto* item = fresh[next++];
            return unpack(item->first, item->second.packed);
        },
        dropped);
    return m_wroteFresh || !fresh.empty();
}

}
