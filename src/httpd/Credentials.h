#pragma once
// Basic credentials as a client supplies them in an Authorization header.
#include <cstddef>
#include <string>
#include <string_view>

// The standard base64 alphabet of RFC 4648.
inline constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Decodes base64 into `bytes`: each character counts by its low seven bits, "=" is skipped wherever
// it stands, and leftover bits at the end are dropped. Returns the number of bytes, 0 for empty
// input or any character outside the alphabet.
std::size_t DecodeBase64(std::string_view text, std::string& bytes);

// "Basic" followed by base64 of "user:password". The decoded text counts up to its first zero
// byte and must hold a colon; further colons belong to the password.
bool ParseBasicCredentials(std::string_view value, std::string& user, std::string& password);
