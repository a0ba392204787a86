// An answer built before it is delivered: status, content type and body.
#pragma once

#include <string>

struct TypedAnswer {
    int status = 200;
    std::string contentType;
    std::string body;
};
