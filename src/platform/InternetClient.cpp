// The internet client over libcurl's multi interface. The transfer runs only inside OpenURL and
// Read, on the caller's thread: Read drives curl until some body bytes are buffered, and the write
// callback pauses the transfer once the buffer holds kHighWater bytes, so memory stays bounded by
// that amount whatever the size of the body.
#include "platform/InternetClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>
#include <string_view>

#include "platform/Ascii.h"
#include "platform/Seam.h"

namespace platform {

namespace {

constexpr std::size_t kHighWater = 256 * 1024;
constexpr long kReceiveBufferSize = 128 * 1024;
constexpr std::chrono::milliseconds kLongestPoll{500};

constinit Seam<InternetTimeouts> g_timeouts{InternetTimeouts{}};

void InitialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (LowerAscii(text[i]) != prefix[i])
            return false;
    }
    return true;
}

} // namespace

InternetTimeouts GetInternetTimeouts() {
    return g_timeouts.Get();
}

InternetTimeouts SetInternetTimeouts(InternetTimeouts timeouts) {
    return g_timeouts.Exchange(timeouts);
}

struct InternetStream::Transfer {
    using SteadyClock = std::chrono::steady_clock;

    CURLM* multi = nullptr;
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    char errorText[CURL_ERROR_SIZE] = {};

    std::string buffer; // received body bytes; the unread ones start at `offset`
    std::size_t offset = 0;
    bool paused = false;
    bool finished = false;
    bool timedOut = false;
    bool closed = false;
    CURLcode result = CURLE_OK;
    std::size_t activity = 0; // grows with every piece of head or body received
    // Since when the peer has sent nothing we were waiting for: set when a wait for the head or
    // for more of the body begins, moved on by everything that arrives.
    SteadyClock::time_point quietSince = SteadyClock::now();
    bool waiting = false; // a Read returned Waiting and the same wait goes on

    // The head of the response being received: redirects and interim answers are skipped.
    long blockStatus = 0;
    bool blockHasLocation = false;
    bool headDone = false;

    InternetTimeouts timeouts = GetInternetTimeouts();

    ~Transfer() { Release(); }

    std::size_t Available() const { return buffer.size() - offset; }

    void Release() {
        if (easy != nullptr) {
            if (multi != nullptr)
                curl_multi_remove_handle(multi, easy);
            curl_easy_cleanup(easy);
            easy = nullptr;
        }
        if (multi != nullptr) {
            curl_multi_cleanup(multi);
            multi = nullptr;
        }
        if (headers != nullptr) {
            curl_slist_free_all(headers);
            headers = nullptr;
        }
        std::string().swap(buffer);
        offset = 0;
    }

    static size_t OnBody(char* data, size_t size, size_t count, void* self) {
        auto* t = static_cast<Transfer*>(self);
        const std::size_t bytes = size * count;
        if (t->Available() >= kHighWater) {
            t->paused = true;
            return CURL_WRITEFUNC_PAUSE;
        }
        if (t->offset == t->buffer.size()) {
            t->buffer.clear();
            t->offset = 0;
        } else if (t->offset >= kHighWater) {
            t->buffer.erase(0, t->offset);
            t->offset = 0;
        }
        t->buffer.append(data, bytes);
        t->headDone = true; // body bytes only ever come from the final response
        ++t->activity;
        return bytes;
    }

    static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
        auto* t = static_cast<Transfer*>(self);
        const std::size_t bytes = size * count;
        const std::string_view line(data, bytes);
        ++t->activity;
        if (StartsWithNoCase(line, "http/")) {
            const auto blank = line.find(' ');
            t->blockStatus =
                blank == std::string_view::npos
                    ? 0
                    : std::strtol(std::string(line.substr(blank + 1, 3)).c_str(), nullptr, 10);
            t->blockHasLocation = false;
        } else if (StartsWithNoCase(line, "location:")) {
            t->blockHasLocation = line.find_first_not_of(" \t\r\n", 9) != std::string_view::npos;
        } else if (line == "\r\n" || line == "\n") {
            const bool interim = t->blockStatus >= 100 && t->blockStatus < 200;
            // curl follows every 3xx answer that names a new location.
            const bool followed =
                t->blockStatus >= 300 && t->blockStatus < 400 && t->blockHasLocation;
            if (!interim && !followed)
                t->headDone = true;
        }
        return bytes;
    }

    void CollectFinished() {
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg == CURLMSG_DONE) {
                finished = true;
                result = message->data.result;
            }
        }
    }

    enum class Pumped { Ready, Stalled, Waiting };

    // Runs the transfer until `ready` holds or it has ended (Ready), until nothing has arrived for
    // `stall` since `quietSince` (Stalled), or until `until` has come (Waiting).
    template <typename Ready>
    Pumped Pump(Ready ready, std::chrono::milliseconds stall, SteadyClock::time_point until) {
        using std::chrono::duration_cast;
        using std::chrono::milliseconds;
        std::size_t seen = activity;
        while (!ready() && !finished) {
            int running = 0;
            if (curl_multi_perform(multi, &running) != CURLM_OK) {
                finished = true;
                result = CURLE_RECV_ERROR;
                break;
            }
            CollectFinished();
            if (ready() || finished)
                break;
            const auto now = SteadyClock::now();
            if (activity != seen) {
                seen = activity;
                quietSince = now;
            }
            const auto idle = duration_cast<milliseconds>(now - quietSince);
            if (idle >= stall)
                return Pumped::Stalled;
            if (now >= until)
                return Pumped::Waiting;
            const auto left = duration_cast<milliseconds>(until - now);
            const auto wait = std::min({stall - idle, left, kLongestPoll});
            curl_multi_poll(multi, nullptr, 0, static_cast<int>(wait.count()) + 1, nullptr);
        }
        return Pumped::Ready;
    }

    void Resume() {
        if (paused) {
            paused = false;
            curl_easy_pause(easy, CURLPAUSE_CONT);
        }
    }
};

InternetStream::InternetStream(std::unique_ptr<Transfer> transfer)
    : m_transfer(std::move(transfer)) {}

InternetStream::~InternetStream() {
    Close();
}

void InternetStream::Close() {
    if (m_transfer && !m_transfer->closed) {
        m_transfer->Release();
        m_transfer->closed = true;
    }
}

long InternetStream::StatusCode() const {
    long status = 0;
    if (m_transfer && m_transfer->easy != nullptr)
        curl_easy_getinfo(m_transfer->easy, CURLINFO_RESPONSE_CODE, &status);
    return status;
}

ReadResult InternetStream::Read(char* buffer, std::size_t size) {
    return Read(buffer, size, std::chrono::milliseconds::max());
}

ReadResult InternetStream::Read(char* buffer, std::size_t size,
                                std::chrono::milliseconds longestWait) {
    using SteadyClock = Transfer::SteadyClock;
    Transfer& t = *m_transfer;
    if (t.closed || size == 0)
        return {0, ReadStatus::End};
    if (t.Available() == 0 && !t.finished && !t.timedOut) {
        const auto now = SteadyClock::now();
        if (!t.waiting) {
            t.waiting = true;
            t.quietSince = now;
        }
        const auto until = longestWait >= std::chrono::duration_cast<std::chrono::milliseconds>(
                                              SteadyClock::time_point::max() - now)
                               ? SteadyClock::time_point::max()
                               : now + longestWait;
        t.Resume();
        switch (t.Pump([&t] { return t.Available() > 0; }, t.timeouts.stall, until)) {
        case Transfer::Pumped::Stalled:
            t.timedOut = true;
            break;
        case Transfer::Pumped::Waiting:
            return {0, ReadStatus::Waiting};
        case Transfer::Pumped::Ready:
            break;
        }
    }
    t.waiting = false;
    if (t.Available() > 0) {
        const std::size_t count = std::min(size, t.Available());
        std::memcpy(buffer, t.buffer.data() + t.offset, count);
        t.offset += count;
        return {count, ReadStatus::Data};
    }
    if (t.timedOut)
        return {0, ReadStatus::TimedOut};
    return {0, t.result == CURLE_OK ? ReadStatus::End : ReadStatus::Broken};
}

std::string EncodePathSegment(const std::string& name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if ((std::isalnum(byte) && byte < 0x80) || c == '-' || c == '.' || c == '_' || c == '~') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        }
    }
    return encoded;
}

namespace {

// Bytes that may not stand in an address as typed (blanks, control characters, non-ASCII and a
// few delimiters) are escaped, as browsers do; everything else, "%" included, is left alone so an
// address that is already escaped keeps its meaning.
std::string EscapeUnsafeBytes(const std::string& url) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    static constexpr std::string_view kUnsafe = "\"<>\\^`{|}";
    std::string escaped;
    for (const char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || kUnsafe.find(c) != std::string_view::npos) {
            escaped += '%';
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0x0F];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

} // namespace

OpenResult OpenURL(const std::string& typedUrl) {
    return OpenURL(typedUrl, std::chrono::milliseconds::max(), {});
}

OpenResult OpenURL(const std::string& typedUrl, std::chrono::milliseconds lookEvery,
                   const std::function<bool()>& keepWaiting) {
    const std::string url = EscapeUnsafeBytes(typedUrl);
    OpenResult opened;
    // Only an explicit http, https or ftp address is opened (the schemes the Windows client of
    // our peers opens for an alternate location): curl would guess a scheme for anything else,
    // and a word such as "host/Arena.gck" must not become a request to some machine, nor a
    // "file:" or "scp:" address a way into the player's own files.
    if (!StartsWithNoCase(url, "http://") && !StartsWithNoCase(url, "https://") &&
        !StartsWithNoCase(url, "ftp://")) {
        opened.failure = OpenFailure::NoStream;
        opened.detail = "not an http, https or ftp address";
        return opened;
    }
    InitialiseCurlOnce();
    auto t = std::make_unique<InternetStream::Transfer>();
    t->multi = curl_multi_init();
    t->easy = curl_easy_init();
    if (t->multi == nullptr || t->easy == nullptr) {
        opened.failure = OpenFailure::NoStream;
        opened.detail = "the internet client could not start";
        return opened;
    }
    t->headers = curl_slist_append(t->headers, "Cache-Control: no-cache");
    t->headers = curl_slist_append(t->headers, "Pragma: no-cache");

    CURL* easy = t->easy;
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
    // A redirect stays on the web: an http answer cannot send us to an ftp server.
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, static_cast<long>(kMaxRedirects));
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, t->headers);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "Korvane");
    // Players reach each other directly; a proxy from the environment would only stand between
    // them (and could cache what must be fetched fresh).
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(t->timeouts.connect.count()));
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, t->errorText);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &InternetStream::Transfer::OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, t.get());
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &InternetStream::Transfer::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, t.get());
    curl_multi_add_handle(t->multi, easy);

    // Connecting and the whole head together get the connect and the stall time-out: a real
    // server sends its head at once, and one that drips header lines must not hold us for as
    // long as it keeps dripping. An ftp server sends no head; the first bytes of the file stand
    // for it.
    using SteadyClock = InternetStream::Transfer::SteadyClock;
    using Pumped = InternetStream::Transfer::Pumped;
    auto* raw = t.get();
    const auto headTime = t->timeouts.connect + t->timeouts.stall;
    t->quietSince = SteadyClock::now();
    const auto deadline = t->quietSince + headTime;
    Pumped pumped = Pumped::Waiting;
    for (;;) {
        const auto now = SteadyClock::now();
        const auto until =
            keepWaiting && lookEvery < headTime ? std::min(deadline, now + lookEvery) : deadline;
        pumped = t->Pump([raw] { return raw->headDone; }, headTime, until);
        if (pumped != Pumped::Waiting || SteadyClock::now() >= deadline)
            break;
        if (!keepWaiting()) {
            opened.failure = OpenFailure::Cancelled;
            opened.detail = "given up while waiting for " + url;
            return opened;
        }
    }
    const bool answered = pumped == Pumped::Ready;
    if (t->headDone || (t->finished && t->result == CURLE_OK)) {
        opened.stream = std::make_unique<InternetStream>(std::move(t));
        return opened;
    }
    if (!answered) {
        opened.failure = OpenFailure::ConnectionFailed;
        opened.detail = "no answer from " + url;
        return opened;
    }
    switch (t->result) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
    case CURLE_TOO_MANY_REDIRECTS:
    case CURLE_WEIRD_SERVER_REPLY:
    // The ftp server was reached but will not hand the file over.
    case CURLE_LOGIN_DENIED:
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_FTP_COULDNT_RETR_FILE:
        opened.failure = OpenFailure::NoStream;
        break;
    default:
        opened.failure = OpenFailure::ConnectionFailed;
        break;
    }
    opened.detail = t->errorText[0] != '\0' ? t->errorText : curl_easy_strerror(t->result);
    return opened;
}

} // namespace platform
