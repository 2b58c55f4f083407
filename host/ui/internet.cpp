// The framework's HTTP client (platform/afxinet.h) over libcurl. A request is carried out whole
// when it is sent: the answer's status and body are kept and read from memory afterwards.
//
// Every exchange has two time limits: connecting must succeed within the connect limit and the
// whole exchange must end within the total limit, so a server that never answers cannot hold
// the host for long. The total limit is QUARVEL_HTTP_TIMEOUT seconds (default 30, at most
// 3600); the connect limit is 10 seconds, or the total limit when that is shorter.
#include <curl/curl.h>

#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/afxinet.h"
#include "platform/textconv.h"

namespace {

constexpr long kDefaultTotalSeconds = 30;
constexpr long kMaxTotalSeconds = 3600;
constexpr long kConnectSeconds = 10;
// An answer larger than this is refused: the documents read this way are short texts.
constexpr std::size_t kMaxBody = 8u << 20;

long TotalLimitSeconds() {
    const char* text = std::getenv("QUARVEL_HTTP_TIMEOUT");
    if (!text || !*text)
        return kDefaultTotalSeconds;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value <= 0)
        return kDefaultTotalSeconds;
    return value > kMaxTotalSeconds ? kMaxTotalSeconds : value;
}

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Body {
    std::string text;
    bool tooLarge = false;
};

size_t Collect(char* data, size_t size, size_t count, void* user) {
    Body& body = *static_cast<Body*>(user);
    const size_t bytes = size * count;
    if (body.text.size() + bytes > kMaxBody) {
        body.tooLarge = true;
        return 0;  // ends the transfer with a write error
    }
    body.text.append(data, bytes);
    return bytes;
}

// Hosts never reached through a proxy: the loopback addresses, and those the environment's
// no_proxy names (a proxy of the environment is used for everything else, as the platform's
// pre-configured access does).
std::string NoProxyList() {
    std::string list = "localhost,127.0.0.1,::1";
    for (const char* name : {"no_proxy", "NO_PROXY"}) {
        if (const char* value = std::getenv(name); value && *value) {
            list += ",";
            list += value;
            break;
        }
    }
    return list;
}

std::string Narrow(const char16_t* text) {
    return text ? qv::ToUtf8(text) : std::string();
}

// The error number and description of a failed exchange, worded by the host (the library's
// own texts carry timings that change from run to run).
CInternetException* MakeException(CURLcode code, const std::string& host, long port,
                                  long connectLimit, long totalLimit, bool tooLarge) {
    std::string where = host + " port " + std::to_string(port);
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
            return new CInternetException(
                ERROR_INTERNET_NAME_NOT_RESOLVED,
                ("The server name could not be resolved: " + host + ".").c_str());
        case CURLE_COULDNT_CONNECT:
            return new CInternetException(
                ERROR_INTERNET_CANNOT_CONNECT,
                ("A connection with the server could not be established (" + where + ").").c_str());
        case CURLE_OPERATION_TIMEDOUT:
            return new CInternetException(
                ERROR_INTERNET_TIMEOUT,
                ("The server did not answer in time (" + where + "; limits " +
                 std::to_string(connectLimit) + " s to connect, " + std::to_string(totalLimit) +
                 " s in all).")
                    .c_str());
        case CURLE_URL_MALFORMAT:
            return new CInternetException(
                ERROR_INTERNET_INVALID_URL,
                ("The address of the server is not valid: " + host + ".").c_str());
        case CURLE_GOT_NOTHING:
        case CURLE_WEIRD_SERVER_REPLY:
            return new CInternetException(
                ERROR_HTTP_INVALID_SERVER_RESPONSE,
                ("The server returned an invalid or unrecognized response (" + where + ").")
                    .c_str());
        default:
            if (tooLarge)
                return new CInternetException(ERROR_INTERNET_CONNECTION_ABORTED,
                                              "The server's answer is too large.");
            return new CInternetException(ERROR_INTERNET_CONNECTION_ABORTED,
                                          ("The connection with the server was reset (" + where +
                                           "): " + curl_easy_strerror(code) + ".")
                                              .c_str());
    }
}

}  // namespace

// ---- Exception ----------------------------------------------------------------------------------

CInternetException::CInternetException(DWORD error, const char* description)
    : m_dwError(error), m_strDescription(description ? description : "") {}

CInternetException::~CInternetException() = default;

BOOL CInternetException::GetErrorMessage(CStringA& message) const {
    message = m_strDescription;
    return m_strDescription.IsEmpty() ? FALSE : TRUE;
}

// ---- Session ------------------------------------------------------------------------------------

CInternetSession::CInternetSession(const char* agent, DWORD_PTR, DWORD, const char*, const char*,
                                   DWORD)
    : m_agent(agent ? agent : "") {
    InitCurlOnce();
}

CInternetSession::CInternetSession(const char16_t* agent, DWORD_PTR, DWORD, const char16_t*,
                                   const char16_t*, DWORD)
    : m_agent(Narrow(agent)) {
    InitCurlOnce();
}

CInternetSession::~CInternetSession() {
    Close();
}

CHttpConnection* CInternetSession::GetHttpConnection(const char* server, INTERNET_PORT port,
                                                     const char*, const char*) {
    if (!m_open || !server || !*server)
        return nullptr;
    return new CHttpConnection(server, port ? port : INTERNET_DEFAULT_HTTP_PORT, m_agent);
}

CHttpConnection* CInternetSession::GetHttpConnection(const char16_t* server, INTERNET_PORT port,
                                                     const char16_t*, const char16_t*) {
    const std::string narrow = Narrow(server);
    return GetHttpConnection(narrow.c_str(), port);
}

void CInternetSession::Close() {
    m_open = false;
}

// ---- Connection ---------------------------------------------------------------------------------

CHttpConnection::CHttpConnection(std::string server, INTERNET_PORT port, std::string agent)
    : m_server(std::move(server)), m_port(port), m_agent(std::move(agent)) {}

CHttpConnection::~CHttpConnection() = default;

CHttpFile* CHttpConnection::OpenRequest(const char* verb, const char* objectName, const char*,
                                        DWORD_PTR, const char**, const char*, DWORD) {
    std::string path = objectName ? objectName : "";
    if (path.empty() || path[0] != '/')
        path.insert(path.begin(), '/');
    return new CHttpFile(m_server, m_port, path, verb && *verb ? verb : "GET", m_agent);
}

CHttpFile* CHttpConnection::OpenRequest(const char16_t* verb, const char16_t* objectName,
                                        const char16_t*, DWORD_PTR, const char16_t**,
                                        const char16_t*, DWORD flags) {
    const std::string v = Narrow(verb);
    const std::string o = Narrow(objectName);
    return OpenRequest(v.c_str(), o.c_str(), nullptr, 1, nullptr, nullptr, flags);
}

void CHttpConnection::Close() {}

// ---- Request ------------------------------------------------------------------------------------

CHttpFile::CHttpFile(std::string server, INTERNET_PORT port, std::string path, std::string verb,
                     std::string agent)
    : m_server(std::move(server)),
      m_port(port),
      m_url("http://" + m_server + ":" + std::to_string(port) + path),
      m_verb(std::move(verb)),
      m_agent(std::move(agent)) {}

CHttpFile::~CHttpFile() = default;

BOOL CHttpFile::SendRequest(const char*, DWORD, LPVOID, DWORD) {
    m_answered = false;
    m_status = 0;
    m_body.clear();
    m_pos = 0;

    CURL* curl = curl_easy_init();
    if (!curl)
        throw new CInternetException(ERROR_INTERNET_CONNECTION_ABORTED,
                                     "The HTTP library could not start a request.");
    const long total = TotalLimitSeconds();
    const long connect = total < kConnectSeconds ? total : kConnectSeconds;
    Body body;
    char errors[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_URL, m_url.c_str());
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, m_verb == "GET" ? nullptr : m_verb.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, connect);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, total);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errors);
    const std::string noProxy = NoProxyList();
    curl_easy_setopt(curl, CURLOPT_NOPROXY, noProxy.c_str());
    if (!m_agent.empty())
        curl_easy_setopt(curl, CURLOPT_USERAGENT, m_agent.c_str());

    const CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    if (code != CURLE_OK)
        throw MakeException(code, m_server, m_port, connect, total, body.tooLarge);
    m_status = static_cast<DWORD>(status);
    m_body = std::move(body.text);
    m_answered = true;
    return TRUE;
}

BOOL CHttpFile::SendRequest(const char16_t*, DWORD, LPVOID, DWORD) {
    return SendRequest(static_cast<const char*>(nullptr));
}

BOOL CHttpFile::QueryInfoStatusCode(DWORD& statusCode) const {
    if (!m_answered)
        return FALSE;
    statusCode = m_status;
    return TRUE;
}

BOOL CHttpFile::ReadString(CStringA& line) {
    if (!m_answered || m_pos >= m_body.size())
        return FALSE;
    std::size_t end = m_body.find('\n', m_pos);
    if (end == std::string::npos)
        end = m_body.size();
    std::string text = m_body.substr(m_pos, end - m_pos);
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    m_pos = end + 1;
    line = CStringA(text);
    return TRUE;
}

BOOL CHttpFile::ReadString(CStringW& line) {
    CStringA utf8;
    if (!ReadString(utf8))
        return FALSE;
    line = CStringW(utf8);
    return TRUE;
}

void CHttpFile::Close() {}
