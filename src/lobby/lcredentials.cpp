// lcredentials.cpp: TURN credentials from the shared secret, through GLib's
// HMAC (GLib comes with libnice, which the clients use for the relay).
#include "lobby/lcredentials.h"

#include <glib.h>

#include <cstdio>
#include <cstring>

void turnCredentials(const uint8_t* secret, size_t secretSize, int64_t unixNow, const char* code,
                     char (&username)[vkl::MAX_CREDENTIAL + 1], char (&password)[vkl::MAX_CREDENTIAL + 1]) {
    snprintf(username, sizeof username, "%lld:%s", static_cast<long long>(unixNow + TURN_CREDENTIAL_SECONDS), code);
    // GLib gives the HMAC as hex; TURN servers compare the base64 of its
    // bytes.
    gchar* hex = g_compute_hmac_for_data(G_CHECKSUM_SHA1, secret, secretSize,
                                         reinterpret_cast<const guchar*>(username), strlen(username));
    guchar digest[20];
    for (size_t i = 0; i < sizeof digest; i++) {
        digest[i] = static_cast<guchar>(g_ascii_xdigit_value(hex[2 * i]) * 16 + g_ascii_xdigit_value(hex[2 * i + 1]));
    }
    g_free(hex);
    // 20 bytes are 28 characters of base64; the step functions write into
    // our buffer instead of allocating one.
    gint state = 0;
    gint save = 0;
    gsize length = g_base64_encode_step(digest, sizeof digest, FALSE, password, &state, &save);
    length += g_base64_encode_close(FALSE, password + length, &state, &save);
    password[length] = '\0';
}
