#pragma once

// The passwords of protected presentations: how they reach the presentation server, and how a
// protected file that none of them opens fails. Passwords live in memory only, for one run, and the
// memory that held one is cleared when it goes.

#include "office/AutomationError.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <string.h> // explicit_bzero

namespace quorvane::office {

// Overwrites the bytes of text with zeros (what a password was held in, before it is freed).
inline void wipe(std::string& text) {
    if (!text.empty())
        ::explicit_bzero(text.data(), text.size());
    text.clear();
}
// The same for a QString that holds its characters alone (a shared copy is left to its other owners).
inline void wipe(QString& text) {
    if (!text.isEmpty() && text.isDetached())
        ::explicit_bzero(text.data(), static_cast<std::size_t>(text.size()) * sizeof(QChar));
    text.clear();
}

// The same for bytes.
inline void wipe(QByteArray& bytes) {
    if (!bytes.isEmpty() && bytes.isDetached())
        ::explicit_bzero(bytes.data(), static_cast<std::size_t>(bytes.size()));
    bytes.clear();
}

// One password, in the two encodings the formats derive their keys from; both are wiped when it goes.
class Password {
public:
    // From the UTF-8 bytes as they were given (the bytes of utf8 are wiped as they are taken).
    explicit Password(std::string utf8) : m_utf8(std::move(utf8)) {
        QString text = QString::fromUtf8(m_utf8.data(), static_cast<qsizetype>(m_utf8.size()));
        m_utf16le.reserve(static_cast<std::size_t>(text.size()) * 2);
        for (const QChar c : text) {
            m_utf16le.push_back(static_cast<char>(c.unicode() & 0xFF));
            m_utf16le.push_back(static_cast<char>(c.unicode() >> 8));
        }
        office::wipe(text);
    }
    ~Password() {
        office::wipe(m_utf8);
        office::wipe(m_utf16le);
    }
    Password(const Password&) = delete;
    Password& operator=(const Password&) = delete;

    const std::string& utf8() const { return m_utf8; }
    const std::string& utf16le() const { return m_utf16le; }

private:
    std::string m_utf8;
    std::string m_utf16le;
};

using SharedPassword = std::shared_ptr<const Password>;

// Where the presentation server takes the passwords of protected presentations from. The readers try
// passwords() in that order on any thread (the read-ahead workers too); ask() comes only from the
// thread that opens presentations, once none of them opened the file.
class PasswordSource {
public:
    virtual ~PasswordSource() = default;
    // The passwords to try, in order: the one that opened a presentation last comes first.
    virtual std::vector<SharedPassword> passwords() const = 0;
    // How often the passwords have changed: a read that failed with an older state may succeed now.
    virtual std::uint64_t generation() const = 0;
    // password opened a presentation: it is kept, and tried first from now on.
    virtual void opened(const SharedPassword& password) = 0;
    // Asks the user for the password of the presentation at path, after wrong passwords were tried
    // on it (0 at first); null when there is none (the user cancelled, or nobody can be asked).
    virtual SharedPassword ask(const QString& path, int wrong) = 0;
    // What the failure of a protected file without any password adds, after a space: how to give one
    // ("(give it with --password-file)"); empty for nothing.
    virtual QString howToGive() const = 0;
    // Forgets every password (the run has ended): their memory is cleared once no read holds them.
    virtual void forget() = 0;
};

// The passwords of one run, tried in order; the one that opened a presentation last comes first. It
// asks nobody: a front end that can ask derives from it. Safe to use from several threads.
class PasswordList : public PasswordSource {
public:
    explicit PasswordList(std::vector<SharedPassword> passwords = {}, QString howToGive = {})
        : m_passwords(std::move(passwords)), m_howToGive(std::move(howToGive)) {}

    std::vector<SharedPassword> passwords() const override {
        const std::lock_guard lock(m_mutex);
        return m_passwords;
    }
    std::uint64_t generation() const override {
        const std::lock_guard lock(m_mutex);
        return m_generation;
    }
    void opened(const SharedPassword& password) override {
        const std::lock_guard lock(m_mutex);
        const auto known = std::find(m_passwords.begin(), m_passwords.end(), password);
        if (known != m_passwords.end() && known == m_passwords.begin())
            return;
        if (known != m_passwords.end())
            m_passwords.erase(known);
        m_passwords.insert(m_passwords.begin(), password);
        ++m_generation;
    }
    SharedPassword ask(const QString& path, int wrong) override {
        static_cast<void>(path);
        static_cast<void>(wrong);
        return nullptr;
    }
    QString howToGive() const override { return m_howToGive; }
    void forget() override {
        std::vector<SharedPassword> gone;
        const std::lock_guard lock(m_mutex);
        gone.swap(m_passwords);
        ++m_generation;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<SharedPassword> m_passwords;
    std::uint64_t m_generation = 0;
    QString m_howToGive;
};

// A protected presentation could not be opened: no password was given for it, or none of those tried
// opened it. The description names the file ("<path>: the password is wrong (3 tried)").
class PasswordError : public AutomationError {
public:
    // tried: how many passwords were tried (0: none was given); generation: the source's generation
    // the passwords were taken at.
    PasswordError(const QString& description, int tried, std::uint64_t generation)
        : AutomationError(description), m_tried(tried), m_generation(generation) {}

    int tried() const noexcept { return m_tried; }
    std::uint64_t generation() const noexcept { return m_generation; }

private:
    int m_tried;
    std::uint64_t m_generation;
};

} // namespace quorvane::office
