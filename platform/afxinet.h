// The framework's HTTP client as module code uses it: an Internet session, an HTTP connection to
// a server and one request on it, read line by line, with the framework's Internet exception.
//
// The host carries the exchange out with the system's HTTP library. Every exchange has a
// connect time limit and a total time limit of the host's (see the README), so a server that
// accepts and never answers ends in a time-out error instead of holding the caller for ever.
// Texts are taken in both widths; lines are read in the width of the string given.
#pragma once

#include <memory>
#include <string>

#include "platform/afx.h"

typedef WORD INTERNET_PORT;
#define INTERNET_INVALID_PORT_NUMBER 0
#define INTERNET_DEFAULT_HTTP_PORT 80
#define PRE_CONFIG_INTERNET_ACCESS 0
#define INTERNET_FLAG_EXISTING_CONNECT 0x20000000
#define INTERNET_FLAG_RELOAD 0x80000000

// Error numbers of the platform's Internet library that the host reports.
#define ERROR_INTERNET_TIMEOUT 12002
#define ERROR_INTERNET_NAME_NOT_RESOLVED 12007
#define ERROR_INTERNET_CANNOT_CONNECT 12029
#define ERROR_INTERNET_CONNECTION_ABORTED 12030
#define ERROR_INTERNET_INVALID_URL 12005
#define ERROR_HTTP_INVALID_SERVER_RESPONSE 12152

// Thrown (as a pointer, freed with Delete) by the requests when the exchange fails below HTTP:
// a name that does not resolve, a refused connection, a time-out.
class QV_UI_API CInternetException : public CException {
public:
    CInternetException(DWORD error, const char* description);
    ~CInternetException() override;
    // The description of the error, as the system's HTTP library gives it.
    BOOL GetErrorMessage(CStringA& message) const override;
    using CException::GetErrorMessage;

    DWORD m_dwError;
    DWORD_PTR m_dwContext = 1;

private:
    CStringA m_strDescription;  // UTF-8
};

class CHttpConnection;
class CHttpFile;

class QV_UI_API CInternetSession : public CObject {
public:
    CInternetSession(const char* agent = nullptr, DWORD_PTR context = 1,
                     DWORD accessType = PRE_CONFIG_INTERNET_ACCESS, const char* proxyName = nullptr,
                     const char* proxyBypass = nullptr, DWORD flags = 0);
    CInternetSession(const char16_t* agent, DWORD_PTR context = 1,
                     DWORD accessType = PRE_CONFIG_INTERNET_ACCESS,
                     const char16_t* proxyName = nullptr, const char16_t* proxyBypass = nullptr,
                     DWORD flags = 0);
    ~CInternetSession() override;
    // A connection to an HTTP server (port 0: the default HTTP port); the caller deletes it.
    // Nothing is sent until a request is.
    CHttpConnection* GetHttpConnection(const char* server, INTERNET_PORT port = 0,
                                       const char* userName = nullptr,
                                       const char* password = nullptr);
    CHttpConnection* GetHttpConnection(const char16_t* server, INTERNET_PORT port = 0,
                                       const char16_t* userName = nullptr,
                                       const char16_t* password = nullptr);
    virtual void Close();

private:
    std::string m_agent;
    bool m_open = true;
    friend class CHttpConnection;
};

class QV_UI_API CHttpConnection : public CObject {
public:
    ~CHttpConnection() override;
    // A request for a path from the server's root; the caller deletes it.
    CHttpFile* OpenRequest(const char* verb, const char* objectName, const char* referer = nullptr,
                           DWORD_PTR context = 1, const char** acceptTypes = nullptr,
                           const char* version = nullptr,
                           DWORD flags = INTERNET_FLAG_EXISTING_CONNECT);
    CHttpFile* OpenRequest(const char16_t* verb, const char16_t* objectName,
                           const char16_t* referer = nullptr, DWORD_PTR context = 1,
                           const char16_t** acceptTypes = nullptr,
                           const char16_t* version = nullptr,
                           DWORD flags = INTERNET_FLAG_EXISTING_CONNECT);
    virtual void Close();

private:
    friend class CInternetSession;
    CHttpConnection(std::string server, INTERNET_PORT port, std::string agent);
    std::string m_server;  // UTF-8
    INTERNET_PORT m_port;
    std::string m_agent;
};

class QV_UI_API CHttpFile : public CObject {
public:
    ~CHttpFile() override;
    // Sends the request and receives the answer whole; throws CInternetException* when no
    // HTTP answer came. An HTTP error status is an answer (see QueryInfoStatusCode).
    BOOL SendRequest(const char* headers = nullptr, DWORD headersLength = 0,
                     LPVOID optional = nullptr, DWORD optionalLength = 0);
    BOOL SendRequest(const char16_t* headers, DWORD headersLength = 0, LPVOID optional = nullptr,
                     DWORD optionalLength = 0);
    // The HTTP status code of the answer; FALSE before one came.
    BOOL QueryInfoStatusCode(DWORD& statusCode) const;
    // The next line of the answer's body without its end ("\n" or "\r\n"); FALSE at the end.
    // The body is read as UTF-8.
    BOOL ReadString(CStringA& line);
    BOOL ReadString(CStringW& line);
    virtual void Close();

private:
    friend class CHttpConnection;
    CHttpFile(std::string server, INTERNET_PORT port, std::string path, std::string verb,
              std::string agent);
    std::string m_server;  // UTF-8
    INTERNET_PORT m_port;
    std::string m_url;
    std::string m_verb;
    std::string m_agent;
    DWORD m_status = 0;
    bool m_answered = false;
    std::string m_body;
    std::size_t m_pos = 0;
};
