#include "GameStore.h"

#include <algorithm>
#include <charconv>

TMemoryGameStore::TMemoryGameStore(std::chrono::seconds expiry, std::size_t maxGames, TClock clock)
    : m_Expiry(expiry)
    , m_MaxGames(maxGames)
    , m_Clock(clock ? std::move(clock) : TClock([] { return std::chrono::steady_clock::now(); })) {
}

void TMemoryGameStore::DropExpired(std::chrono::steady_clock::time_point now) {
    std::erase_if(m_Games, [&](const TListing& game) { return now - game.Renewed >= m_Expiry; });
}

std::optional<std::vector<TListedGame>> TMemoryGameStore::List() {
    const std::lock_guard lock(m_Mutex);
    DropExpired(m_Clock());
    std::vector<TListedGame> games;
    games.reserve(m_Games.size());
    for (const TListing& game : m_Games)
        games.push_back({ game.Name, game.Address });
    return games;
}

EStoreResult TMemoryGameStore::Add(const std::string& address, const std::string& name) {
    const std::lock_guard lock(m_Mutex);
    const auto now = m_Clock();
    DropExpired(now);
    const auto own = std::find_if(m_Games.begin(), m_Games.end(),
        [&](const TListing& game) { return game.Address == address; });
    if (own != m_Games.end()) {
        own->Name = name;
        own->Renewed = now;
        return EStoreResult::Done;
    }
    if (m_Games.size() >= m_MaxGames)
        return EStoreResult::Full;
    m_Games.push_back({ address, name, now });
    return EStoreResult::Done;
}

EStoreResult TMemoryGameStore::Remove(const std::string& address) {
    const std::lock_guard lock(m_Mutex);
    std::erase_if(m_Games, [&](const TListing& game) { return game.Address == address; });
    return EStoreResult::Done;
}

TRedisAddressResult ParseRedisAddress(const std::string& url) {
    const auto fail = [&](const std::string& why) {
        return TRedisAddressResult { std::nullopt,
            "--store must be redis://HOST[:PORT][/DB] (" + why + "): " + url };
    };
    const std::string scheme = "redis://";
    if (url.compare(0, scheme.size(), scheme) != 0)
        return fail("only redis:// is known");
    std::string rest = url.substr(scheme.size());
    if (rest.find_first_of("@?#") != std::string::npos)
        return fail("user names, passwords and parameters are not supported");
    TRedisAddress address;
    const std::size_t slash = rest.find('/');
    std::string database;
    if (slash != std::string::npos) {
        database = rest.substr(slash + 1);
        rest.resize(slash);
    }
    std::string port;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string::npos)
            return fail("an IPv6 address needs its closing ]");
        address.Host = rest.substr(1, close - 1);
        const std::string after = rest.substr(close + 1);
        if (!after.empty() && after.front() != ':')
            return fail("text after the address");
        if (!after.empty())
            port = after.substr(1);
        if (after == ":")
            return fail("the port is empty");
    } else {
        const std::size_t colon = rest.find(':');
        address.Host = rest.substr(0, colon);
        if (colon != std::string::npos) {
            port = rest.substr(colon + 1);
            if (port.empty())
                return fail("the port is empty");
        }
    }
    if (address.Host.empty())
        return fail("the host is empty");
    for (const char c : address.Host) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F)
            return fail("the host has a space or a control character");
    }
    const auto number = [](const std::string& text, int max) -> std::optional<int> {
        int value = 0;
        const char* end = text.data() + text.size();
        const auto [ptr, ec] = std::from_chars(text.data(), end, value);
        if (text.empty() || ec != std::errc() || ptr != end || value < 0 || value > max)
            return std::nullopt;
        return value;
    };
    if (!port.empty()) {
        const auto value = number(port, 65535);
        if (!value || *value == 0)
            return fail("the port must be a number from 1 to 65535");
        address.Port = *value;
    }
    if (slash != std::string::npos) {
        const auto value = number(database, 1000000);
        if (!value)
            return fail("the database must be a number");
        address.Database = *value;
    }
    return TRedisAddressResult { address, {} };
}
