// The few pieces of SQLite every cache file of the reader engine shares: a statement that
// finalizes or resets itself, running SQL text, a transaction that is kept whole or not at all,
// and telling a damaged file from a busy one.
#pragma once

#include <cstdint>
#include <functional>
#include <sqlite3.h>
#include <string>
#include <string_view>

namespace folioreader::sqlite {

class Statement {
public:
    Statement(sqlite3* database, const char* sql)
        : m_owned(true)
    {
        m_code = sqlite3_prepare_v2(database, sql, -1, &m_statement, nullptr);
    }
    // One use of a statement the store keeps: reset and unbound after it, not finalized.
    explicit Statement(sqlite3_stmt* kept)
        : m_statement(kept)
        , m_code(kept ? SQLITE_OK : SQLITE_ERROR)
    {
    }
    ~Statement()
    {
        if (m_owned) {
            sqlite3_finalize(m_statement);
        } else if (m_statement) {
            sqlite3_reset(m_statement);
            sqlite3_clear_bindings(m_statement);
        }
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    int code() const { return m_code; }
    void bind(int index, const std::string& bytes)
    {
        sqlite3_bind_blob(m_statement, index, bytes.data(), int(bytes.size()), SQLITE_STATIC);
    }
    void bind(int index, std::int64_t value) { sqlite3_bind_int64(m_statement, index, value); }
    // Bound as text, for what full-text matching reads (it ignores blobs' words).
    void bindText(int index, std::string_view text)
    {
        sqlite3_bind_text(m_statement, index, text.data(), int(text.size()), SQLITE_STATIC);
    }
    int step() { return m_code = sqlite3_step(m_statement); }
    void reset() { sqlite3_reset(m_statement); }
    std::string_view view(int column) const
    {
        auto* data = static_cast<const char*>(sqlite3_column_blob(m_statement, column));
        return data ? std::string_view(data, std::size_t(sqlite3_column_bytes(m_statement, column)))
                    : std::string_view();
    }
    std::string bytes(int column) const
    {
        auto* data = static_cast<const char*>(sqlite3_column_blob(m_statement, column));
        return data ? std::string(data, std::size_t(sqlite3_column_bytes(m_statement, column)))
                    : std::string();
    }
    std::int64_t integer(int column) const { return sqlite3_column_int64(m_statement, column); }
    sqlite3_stmt* statement() const { return m_statement; }

private:
    sqlite3_stmt* m_statement = nullptr;
    int m_code;
    bool m_owned = false;
};

int execute(sqlite3* database, const char* sql);

// Readies the file's tables for version: a file made for another (PRAGMA user_version) runs
// rebuild (its DROPs and CREATEs) and is marked with version, in one transaction. SQLite's code.
int makeTables(sqlite3* database, int version, const std::string& rebuild);

// Whether a code says the file is damaged or no database: such a file is made anew.
bool isDamage(int code);

// Whether a writer waits while another process holds the database: the scan does, for its work is
// what the person waits for; the cover reader and the description pass give up at once, as their
// work comes round again.
enum class WhenBusy { wait, giveUp };

// Runs write in one transaction, kept whole when write answers true and the commit holds, rolled
// back otherwise: a crash or a failed statement leaves the store as it was. busyMilliseconds is
// the connection's usual wait, restored after giving up at once.
bool writeInTransaction(
    sqlite3* database, WhenBusy whenBusy, int busyMilliseconds, const std::function<bool()>& write);

// Removes the database file at path with its journal and shared memory.
void removeFiles(const std::string& path);

// A connection to a usable file at path, made with its folder as needed and readied by prepare
// (its tables, its settings), or nullptr; a damaged file is removed and made anew.
sqlite3* connect(const std::string& path, int (*prepare)(sqlite3*));

}
