#pragma once
// The request handler: serves one accepted connection from reading its head to closing it.
//
// Each worker of a listener run has a handler object of its own that serves the worker's
// connections one after another. HandleConnection reads the head (bounded in time and
// size), parses it, asks OnRequestParsed, then answers by method: GET and HEAD only for the
// announcement file, the hosted archive and the installer; DELETE with credentials gets a page
// but deletes nothing; other methods get 501. The request record is reset after every connection.
#include <netinet/in.h>

#include <string>
#include <string_view>

#include "httpd/RequestInfo.h"
#include "httpd/ResponseHeader.h"
#include "httpd/ServerSettings.h"
#include "httpd/TcpSocket.h"

class CHttpServer;

class CHttpClient {
  public:
    virtual ~CHttpClient() = default;

    void SetServer(CHttpServer* server) { m_pServer = server; }
    // Serves one connection and closes `socket` before it returns (telling the server first).
    void HandleConnection(int socket, const sockaddr_in& peer);

    void SendErrorPage(int code);                   // 400, 404 or 501
    void SendDeleteDone(const std::string& path);   // 200 page; nothing is deleted
    void SendAuthRequest(const std::string& realm); // 401 challenge
    void SendFile(const std::string& path);         // 200, 304, 401 or 404
    // Maps the request path to a Windows-style file path under a share directory; false for a
    // path with a ".." folder or a zero byte anywhere, or one no alias covers.
    bool MapUrlToFile(std::string& path);
    // Called once the head is parsed; false makes the request fail with 400.
    virtual bool OnRequestParsed() { return true; }
    const CShareDirectory* FindShareDirectory(std::string_view alias);

  protected:
    // Dispatches a request whose head has been read.
    void ServeRequest(const char* head);
    // Sends while the connection holds; after the first failure nothing more is sent.
    bool SendBytes(std::string_view bytes);
    // A header block begun with the lines every answer carries: Date, Server and Allow.
    CResponseHeader StartHeader(int code) const;

    CHttpServer* m_pServer = nullptr;
    CTcpSocket m_Socket;
    CRequestInfo m_Request;
    bool m_bBroken = false;
};
