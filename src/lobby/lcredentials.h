// lcredentials.h: the time-limited TURN credentials the lobby hands to both
// sides of an introduction, as a TURN server with a shared secret checks
// them (coturn's use-auth-secret): no account per player, nothing stored.
#pragma once

#include <cstddef>
#include <cstdint>

#include "net/nlobbyprotocol.h"

// How long an introduction's credentials let the pair allocate relays:
// enough for the 10 s a connection may take and a match's first refreshes.
constexpr int64_t TURN_CREDENTIAL_SECONDS = 600;

// Writes the username "EXPIRY:CODE" (EXPIRY = `unixNow` +
// TURN_CREDENTIAL_SECONDS, in seconds since 1970) and the password
// base64(HMAC-SHA1(`secret`, username)) for the game `code`. The TURN server
// refuses them once its clock passes EXPIRY.
void turnCredentials(const uint8_t* secret, size_t secretSize, int64_t unixNow, const char* code,
                     char (&username)[vkl::MAX_CREDENTIAL + 1], char (&password)[vkl::MAX_CREDENTIAL + 1]);
