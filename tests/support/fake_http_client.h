#pragma once

#include <deque>
#include <vector>

#include "platform/http_client.h"

namespace pellquin::test {

// Serves scripted responses in order (a 200 with an empty body once they run out) and
// records every request.
class FakeHttpClient : public HttpClient {
public:
    std::vector<HttpRequest> requests;
    std::deque<HttpResponse> responses;

    // Queues a 200 response with `body`.
    void Serve(const std::string& body) {
        HttpResponse response;
        response.status = 200;
        response.statusLine = "HTTP/1.1 200 OK";
        response.body = body;
        responses.push_back(response);
    }

    HttpResponse Get(const HttpRequest& request) override {
        requests.push_back(request);
        if (responses.empty()) {
            HttpResponse response;
            response.status = 200;
            return response;
        }
        HttpResponse response = responses.front();
        responses.pop_front();
        return response;
    }
};

}  // namespace pellquin::test
