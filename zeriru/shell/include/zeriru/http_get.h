// A small HTTP/1.0 GET over a TCP socket, directly or through an HTTP proxy with optional
// basic credentials, with one time-out for the whole exchange. Enough for the update
// information file; no redirects, no TLS.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zeriru {

struct HttpProxy {
    std::string server;  // empty: no proxy
    int port = 0;
    std::string user;      // empty: no credentials
    std::string password;
};

struct HttpGetRequest {
    std::string url;  // http://host[:port]/path
    HttpProxy proxy;
    int timeoutMs = 6000;  // connect, send and receive together
};

struct HttpResponse {
    int status = 0;     // from the status line
    std::string whole;  // header and body as received
    std::string body;
};

struct HttpUrl {
    std::string host;
    int port = 80;
    std::string path = "/";
};
// Splits an http:// address; nullopt for any other scheme or a malformed address.
std::optional<HttpUrl> ParseHttpUrl(std::string_view url);

// "user:password" in base64, for the Proxy-Authorization header.
std::string BasicCredentials(std::string_view user, std::string_view password);

// nullopt (and *error) when the address is bad, the server or proxy cannot be reached, the
// time-out passed or the reply is not HTTP.
std::optional<HttpResponse> HttpGet(const HttpGetRequest& request, std::string* error = nullptr);

}  // namespace zeriru
