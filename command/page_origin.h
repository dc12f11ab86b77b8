// The origin (scheme, host, port) of the page that drives a command object, and the build's list
// of origins whose pages may start a payment (gateway_config.h). Only http and https pages have an
// origin here; anything else (file:, about:, data:, no location at all) matches no list. The page's
// address itself is read through the browser by MV_start (module_startup.cpp).
#pragma once

constexpr int PAGE_ORIGIN_CAPACITY = 256;

// Writes the origin of url in the form "scheme://host[:port]" into out: scheme and host in lower
// case, a port only when it is not the scheme's default (80 for http, 443 for https), user
// information dropped. False (out empty) for anything that is not an absolute http or https URL
// with a host, or whose origin does not fit capacity - 1 characters.
bool PageOrigin_FromUrl(const char* url, int length, char* out, int capacity);

// True when origin equals one of the entries of list (separated by ';'), each read as a URL the
// way PageOrigin_FromUrl reads it.
bool PageOrigin_Listed(const char* origin, const char* list);
