#include "raw_server.h"

#include "air_quality_api.h"
#include "feed_documents.h"
#include "open_meteo_api.h"
#include "request_log.h"
#include "scenarios.h"
#include "sim_util.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdio.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <thread>

namespace {

// How long a trickle goes on at most, and the pause between its bytes.
const int kTrickleLimitSeconds = 60;
const int kTrickleStepMs = 300;
const size_t kHugeHeaderBytes = 1024 * 1024;
const size_t kRandomBodyBytes = 4096;
// A body of announced length that drips: one byte every step, for at most the limit.
const int kDripStepMs = 200;
const int kDripLimitSeconds = 60;
const size_t kDripAnnouncedBytes = 100000;
const size_t kPaddingPiece = 64 * 1024;

time_t (*g_clock)() = nullptr;

bool SendAll(int fd, const std::string &bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

// Reads the request head (bounded), so the client sees its request taken.
std::string ReadHead(int fd) {
    std::string head;
    char buffer[1024];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        head.append(buffer, static_cast<size_t>(n));
    }
    return head;
}

// One chunk of a chunked body, its size in hexadecimal.
std::string Chunk(const std::string &bytes) {
    char size[16];
    snprintf(size, sizeof size, "%zx\r\n", bytes.size());
    return size + bytes + "\r\n";
}

const char *ReasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 429:
        return "Too Many Requests";
    case 500:
        return "Internal Server Error";
    default:
        return "Unknown";
    }
}

std::string CloseDelimitedHead(int status, const char *contentType) {
    return "HTTP/1.0 " + std::to_string(status) + " " + ReasonPhrase(status) +
           "\r\nContent-Type: " + contentType + "\r\nConnection: close\r\n\r\n";
}

// A JSON answer whose end is the closing of the connection, delivered as the scenario says.
// With no length announced, a dropped answer reads as a whole one of half the size.
void SendCloseDelimited(int fd, const Answer &answer, Scenario scenario) {
    std::string head = CloseDelimitedHead(answer.status, answer.contentType.c_str());
    switch (scenario) {
    case Scenario::Empty:
        SendAll(fd, head);
        break;
    case Scenario::Http500:
        SendAll(fd, CloseDelimitedHead(500, "text/html") + ServerErrorPage());
        break;
    case Scenario::Drop:
        SendAll(fd, head + answer.body.substr(0, answer.body.size() / 2));
        break;
    case Scenario::Stall:
        WaitUnlessShuttingDown(kStallLimit); // then close, having said nothing
        break;
    case Scenario::Drip:
        if (SendAll(fd, head)) {
            for (char c : answer.body) {
                if (WaitUnlessShuttingDown(kDripInterval) || !SendAll(fd, std::string(1, c))) {
                    break;
                }
            }
        }
        break;
    case Scenario::Slow:
        WaitUnlessShuttingDown(kSlowDelay);
        SendAll(fd, head + answer.body);
        break;
    case Scenario::Huge: {
        bool sent = SendAll(fd, head + answer.body);
        size_t length = answer.body.size() < kHugeSize ? kHugeSize - answer.body.size() : 0;
        for (size_t offset = 0; sent && offset < length && !ShuttingDown();
             offset += kPaddingPiece) {
            std::string piece(std::min(kPaddingPiece, length - offset), ' ');
            for (size_t i = 0; i < piece.size(); ++i) {
                piece[i] = PaddingByte(offset + i, length, Padding::Blanks);
            }
            sent = SendAll(fd, piece);
        }
        break;
    }
    default:
        SendAll(fd, head + answer.body);
        break;
    }
}

// "GET /v1/forecast?... HTTP/1.0", "GET /v1/search?..." and "GET /v1/air-quality?...": the HTTP
// port's JSON answers, logged as that port logs them. Returns false for any other request line.
bool ServeJson(int fd, const std::string &requestLine) {
    size_t methodEnd = requestLine.find(' ');
    if (methodEnd == std::string::npos || requestLine.compare(0, methodEnd, "GET") != 0) {
        return false;
    }
    size_t targetEnd = requestLine.find(' ', methodEnd + 1);
    std::string target = requestLine.substr(methodEnd + 1, targetEnd == std::string::npos
                                                               ? std::string::npos
                                                               : targetEnd - methodEnd - 1);
    size_t question = target.find('?');
    std::string path = target.substr(0, question);
    if (path.compare(0, 7, "http://") == 0) {
        size_t slash = path.find('/', 7);
        path = slash == std::string::npos ? "/" : path.substr(slash);
    }
    bool forecast = path == "/v1/forecast";
    bool airQuality = path == "/v1/air-quality";
    if (!forecast && !airQuality && path != "/v1/search") {
        return false;
    }
    LogRequestLine("GET " + target, true);
    QueryParameters query =
        ParseQueryText(question == std::string::npos ? std::string() : target.substr(question + 1));
    Scenario scenario = forecast     ? ServiceScenario()
                        : airQuality ? GroupScenario(AddressGroup::AirQuality)
                                     : SearchScenario(query);
    Answer answer = forecast     ? ForecastAnswer(query, g_clock(), scenario)
                    : airQuality ? AirQualityAnswer(query, g_clock(), scenario)
                                 : SearchAnswer(query, scenario);
    SendCloseDelimited(fd, answer, scenario);
    return true;
}

void ServeConnection(int fd) {
    std::string original = ReadHead(fd);
    if (ServeJson(fd, original.substr(0, original.find("\r\n")))) {
        shutdown(fd, SHUT_WR);
        close(fd);
        return;
    }
    std::string head = UpperAscii(original);
    std::string line = head.substr(0, head.find("\r\n"));
    std::string body = "<weather><head><ut>F</ut></head></weather>";
    std::mt19937 random(static_cast<unsigned>(line.size() * 2654435761u));
    if (line.find("RAWHEADERS") != std::string::npos) {
        std::string answer = "HTTP/1.1 200 OK\r\nX-Filler: " + std::string(kHugeHeaderBytes, 'a') +
                             "\r\nContent-Length: " + std::to_string(body.size()) +
                             "\r\nConnection: close\r\n\r\n" + body;
        SendAll(fd, answer);
    } else if (line.find("RAWTRICKLE") != std::string::npos) {
        std::string answer =
            "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nX-Slow: " + std::string(400, 's') +
            "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(kTrickleLimitSeconds);
        for (size_t i = 0; i < answer.size() && std::chrono::steady_clock::now() < end; i++) {
            if (!SendAll(fd, answer.substr(i, 1))) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(kTrickleStepMs));
        }
    } else if (line.find("RAWCHUNKCUT") != std::string::npos) {
        // A chunked body that ends before its last chunk: what arrived reads like a document
        // but is not the whole one.
        SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nTransfer-Encoding: "
                    "chunked\r\nConnection: close\r\n\r\n" +
                        Chunk("<weather><head><ut>F</ut>"));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        SendAll(fd, Chunk("</head>"));
    } else if (line.find("RAWCHUNKED") != std::string::npos) {
        // A whole chunked body, to a client that may have asked for HTTP/1.0.
        SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nTransfer-Encoding: "
                    "chunked\r\nConnection: close\r\n\r\n" +
                        Chunk(body.substr(0, 20)) + Chunk(body.substr(20)) + "0\r\n\r\n");
    } else if (line.find("RAWDRIPLENGTH") != std::string::npos) {
        std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " +
                             std::to_string(kDripAnnouncedBytes) + "\r\nConnection: close\r\n\r\n";
        bool sent = SendAll(fd, answer + body);
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(kDripLimitSeconds);
        while (sent && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kDripStepMs));
            sent = SendAll(fd, " ");
        }
    } else if (line.find("RAWRANDOM") != std::string::npos) {
        std::string noise(kRandomBodyBytes, '\0');
        for (char &c : noise) {
            c = static_cast<char>(random() & 0xFF);
        }
        SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(noise.size()) +
                        "\r\nConnection: close\r\n\r\n" + noise);
    } else {
        std::string noise(kRandomBodyBytes, '\0');
        for (char &c : noise) {
            c = static_cast<char>(random() & 0xFF);
        }
        SendAll(fd, noise); // RAWGARBAGE and anything else: no HTTP at all
    }
    shutdown(fd, SHUT_WR);
    close(fd);
}

} // namespace

int StartRawServer(const std::string &bindAddress, time_t (*clock)()) {
    g_clock = clock;
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    if (listener < 0) {
        return -1;
    }
    int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = 0;
    if (inet_pton(AF_INET, bindAddress == "localhost" ? "127.0.0.1" : bindAddress.c_str(),
                  &address.sin_addr) != 1 ||
        bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(listener, 64) != 0) {
        close(listener);
        return -1;
    }
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);
    std::thread([listener] {
        for (;;) {
            int fd = accept(listener, nullptr, nullptr);
            if (fd < 0) {
                continue;
            }
            std::thread(ServeConnection, fd).detach();
        }
    }).detach();
    return ntohs(address.sin_port);
}
