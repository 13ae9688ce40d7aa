// MetadataScan: the folder's stored entries, loaded once, checked against the files as the scan
// asks, and the scan's fresh reads, committed together.
#include "frameworks/folioreader/metadata/MetadataScan.h"

#include "frameworks/folioreader/metadata/DescriptionPass.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace folioreader {

namespace {

std::atomic<MetadataScan*> activeScan { nullptr };

std::chrono::system_clock::time_point timeOf(std::int64_t seconds, std::int64_t nanoseconds)
{
    return std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
        std::chrono::seconds(seconds) + std::chrono::nanoseconds(nanoseconds)));
}

// The stamp, package name, title, author, identifier and language in one string, each after its
// length: one allocation per book keeps the entries of a library of 100,000 books small while a
// scan holds them all.
std::string pack(const MetadataStore::Entry& entry)
{
    std::string packed;
    for (const std::string* field : { &entry.stamp, &entry.packageName, &entry.title, &entry.author, &entry.identifier, &entry.language }) {
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
    for (std::string* field : { &entry.stamp, &entry.packageName, &entry.title, &entry.author, &entry.identifier, &entry.language }) {
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
    return { std::move(entry.title), std::move(entry.author), std::move(entry.identifier), std::move(entry.language) };
}

}

std::string encodeStamp(const std::vector<FileIdentity>& stamp)
{
    std::string bytes;
    for (const FileIdentity& identity : stamp) {
        const std::int64_t fields[] = { std::int64_t(identity.device), std::int64_t(identity.inode), identity.size,
            identity.modifiedSeconds, identity.modifiedNanoseconds, identity.changedSeconds, identity.changedNanoseconds };
        bytes.append(reinterpret_cast<const char*>(fields), sizeof fields);
    }
    return bytes;
}

bool isSettled(const std::vector<FileIdentity>& stamp, std::chrono::system_clock::time_point readStart,
    std::chrono::nanoseconds window)
{
    const auto settledBefore = readStart - window;
    for (const FileIdentity& identity : stamp) {
        if (timeOf(identity.modifiedSeconds, identity.modifiedNanoseconds) >= settledBefore
            || timeOf(identity.changedSeconds, identity.changedNanoseconds) >= settledBefore)
            return false;
    }
    return true;
}

std::unique_ptr<MetadataScan> MetadataScan::begin(std::shared_ptr<MetadataStore> store, const std::string& folder,
    bool manyNewBooks)
{
    if (!store)
        return nullptr;
    std::unique_ptr<MetadataScan> scan(new MetadataScan(std::move(store), folder, manyNewBooks));
    activeScan.store(scan.get());
    return scan;
}

MetadataScan* MetadataScan::active()
{
    return activeScan.load();
}

MetadataScan::MetadataScan(std::shared_ptr<MetadataStore> store, std::string folder, bool loadAll)
    : m_store(std::move(store)), m_folder(std::move(folder)), m_loadedAll(loadAll)
{
    if (m_loadedAll)
        loadRows();
}

// One query, its rows' bytes copied into blocks of a fixed size, a table of row numbers by name: a
// library of 100,000 books loads in a few allocations, and its checksums are checked by the
// reading threads. Blocks are filled one after the other and never moved, so the bytes are never
// held twice, as one buffer growing by doubling would at each step.
void MetadataScan::loadRows()
{
    constexpr std::size_t blockSize = 1 << 20;
    m_store->forEachStoredRow(m_folder, [&](const MetadataStore::StoredRow& stored) {
        const std::string_view values[] = { stored.name, stored.stamp, stored.packageName, stored.title, stored.author,
            stored.identifier, stored.language };
        std::size_t size = 0;
        for (std::string_view value : values)
            size += value.size();
        if (m_rowBlocks.empty() || m_rowBlocks.back().capacity() - m_rowBlocks.back().size() < size)
            m_rowBlocks.emplace_back().reserve(std::max(blockSize, size));
        std::string& block = m_rowBlocks.back();
        Row row { std::uint32_t(m_rowBlocks.size() - 1), std::uint32_t(block.size()), {}, stored.checksum };
        int index = 0;
        for (std::string_view value : values) {
            row.sizes[index++] = std::uint32_t(value.size());
            block += value;
        }
        m_rows.push_back(row);
    });
    std::size_t capacity = 16;
    while (capacity < 2 * m_rows.size())
        capacity *= 2;
    m_rowTable.assign(capacity, 0);
    for (std::size_t row = 0; row < m_rows.size(); ++row) {
        std::size_t at = std::hash<std::string_view>()(field(m_rows[row], 0)) & (capacity - 1);
        while (m_rowTable[at])
            at = (at + 1) & (capacity - 1);
        m_rowTable[at] = std::uint32_t(row + 1);
    }
    m_rowStates.assign(m_rows.size(), RowState::unchecked);
    m_rowsListed.assign(m_rows.size(), 0);
}

std::string_view MetadataScan::field(const Row& row, int index) const
{
    std::size_t at = row.at;
    for (int before = 0; before < index; ++before)
        at += row.sizes[before];
    return std::string_view(m_rowBlocks[row.block]).substr(at, row.sizes[index]);
}

std::optional<std::size_t> MetadataScan::rowOf(std::string_view name) const
{
    if (m_rowTable.empty())
        return std::nullopt;
    const std::size_t mask = m_rowTable.size() - 1;
    for (std::size_t at = std::hash<std::string_view>()(name) & mask; m_rowTable[at]; at = (at + 1) & mask) {
        std::size_t row = m_rowTable[at] - 1;
        if (field(m_rows[row], 0) == name)
            return row;
    }
    return std::nullopt;
}

std::optional<MetadataScan::Metadata> MetadataScan::lookupRow(std::size_t row, const std::string& path)
{
    const Row& stored = m_rows[row];
    RowState state;
    {
        std::lock_guard lock(m_mutex);
        state = m_rowStates[row];
    }
    if (state == RowState::unchecked) {
        MetadataStore::StoredRow view { field(stored, 0), field(stored, 1), field(stored, 2), field(stored, 3), field(stored, 4),
            field(stored, 5), field(stored, 6), stored.checksum };
        bool usable = MetadataStore::checksumHolds(m_folder, view);
        if (usable) {
            auto current = currentStamp(path, std::string(view.packageName));
            usable = current && encodeStamp(*current) == view.stamp;
        }
        state = usable ? RowState::verified : RowState::unusable;
        std::lock_guard lock(m_mutex);
        m_rowStates[row] = state;
    }
    if (state != RowState::verified)
        return std::nullopt;
    return Metadata { std::string(field(stored, 3)), std::string(field(stored, 4)), std::string(field(stored, 5)),
        std::string(field(stored, 6)) };
}

MetadataScan::~MetadataScan()
{
    MetadataScan* self = this;
    activeScan.compare_exchange_strong(self, nullptr);
}

std::optional<std::string> MetadataScan::nameOf(const std::string& path) const
{
    if (path.size() <= m_folder.size() + 1 || path.compare(0, m_folder.size(), m_folder) != 0 || path[m_folder.size()] != '/')
        return std::nullopt;
    std::string name = path.substr(m_folder.size() + 1);
    if (name.find('/') != std::string::npos)
        return std::nullopt;
    return name;
}

std::optional<MetadataScan::Metadata> MetadataScan::lookup(const std::string& name, const std::string& path)
{
    if (m_loadedAll) {
        bool readAfresh = false;
        {
            std::lock_guard lock(m_mutex);
            readAfresh = m_slots.count(name) > 0;
        }
        // Only the thread reading an item asks for it or remembers it, so the answer holds.
        if (!readAfresh) {
            auto row = rowOf(name);
            return row ? lookupRow(*row, path) : std::nullopt;
        }
    }
    std::string packed;
    {
        std::lock_guard lock(m_mutex);
        auto slot = m_slots.find(name);
        if (slot == m_slots.end() && !m_loadedAll) {
            auto entry = m_store->entryOf(m_folder, name);
            if (!entry)
                return std::nullopt;
            slot = m_slots.emplace(name, Slot { pack(*entry) }).first;
        }
        if (slot == m_slots.end())
            return std::nullopt;
        if (slot->second.verified)
            return metadataOf(unpack(name, slot->second.packed));
        if (slot->second.stale)
            return std::nullopt;
        packed = slot->second.packed;
    }
    auto entry = unpack(name, packed);
    auto current = currentStamp(path, entry.packageName);
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

void MetadataScan::remember(const std::string& name, const std::vector<FileIdentity>& stamp, const std::string& packageName,
    const Metadata& metadata, std::chrono::system_clock::time_point readStart)
{
    bool settled = isSettled(stamp, readStart, m_store->unsettledWindow());
    std::lock_guard lock(m_mutex);
    Slot& slot = m_slots[name];
    slot.packed = pack(MetadataStore::Entry { name, encodeStamp(stamp), packageName, metadata.title, metadata.author,
        metadata.identifier, metadata.language });
    // Unsettled metadata still answers the rest of this scan (the author after the title) but is
    // not written, and an older entry of the item is dropped.
    slot.verified = true;
    slot.fresh = settled;
    slot.stale = !settled;
}

void MetadataScan::finish(const std::vector<std::string>& listedNames)
{
    std::unordered_map<std::string, Slot> slots;
    std::vector<std::string> dropped;
    {
        std::lock_guard lock(m_mutex);
        for (const std::string& name : listedNames) {
            if (!m_slots.empty()) {
                if (auto slot = m_slots.find(name); slot != m_slots.end())
                    slot->second.listed = true;
            }
            if (auto row = rowOf(name))
                m_rowsListed[*row] = 1;
        }
        for (auto& [name, slot] : m_slots) {
            if (!slot.fresh && (slot.stale || (m_loadedAll && !slot.listed)))
                dropped.push_back(name);
        }
        // A row read afresh is replaced or dropped as its slot says.
        for (std::size_t row = 0; row < m_rows.size(); ++row) {
            std::string_view name = field(m_rows[row], 0);
            if ((m_rowStates[row] == RowState::unusable || !m_rowsListed[row]) && !m_slots.count(std::string(name)))
                dropped.emplace_back(name);
        }
        slots.swap(m_slots);
        m_rows.clear();
        m_rowTable.clear();
        m_rowBlocks.clear();
    }
    // The entries read afresh are written in name order, each unpacked only as it is written: a
    // first scan of 100,000 books would otherwise hold them all twice, packed and unpacked.
    std::vector<const std::pair<const std::string, Slot>*> fresh;
    for (const auto& item : slots) {
        if (item.second.fresh)
            fresh.push_back(&item);
    }
    std::sort(fresh.begin(), fresh.end(), [](const auto* a, const auto* b) { return a->first < b->first; });
    std::size_t next = 0;
    m_store->commitInOrder(m_folder, [&]() -> std::optional<MetadataStore::Entry> {
        if (next == fresh.size())
            return std::nullopt;
        const auto* item = fresh[next++];
        return unpack(item->first, item->second.packed);
    }, dropped);
    // The books' descriptions are read after the scan, which the person waits for, and apart
    // from it: only the catalog shows them.
    if (DescriptionPass* pass = DescriptionPass::running())
        pass->request(m_store, m_folder, !fresh.empty());
}

}
