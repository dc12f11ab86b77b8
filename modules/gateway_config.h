// The gateway constants, fixed at build time (CMake cache variables VEXO_GATEWAY_PRODUCTION_HOST,
// VEXO_GATEWAY_PRODUCTION_URL, VEXO_GATEWAY_TEST_URL and VEXO_BRIDGE_ORIGINS; the defaults point at
// loopback for the tests and the demo).
#pragma once

// The "gw_url" value that selects the production gateway.
extern const char GATEWAY_PRODUCTION_HOST[];
// Base URL of the production gateway (HTTPS).
extern const char GATEWAY_PRODUCTION_URL[];
// Base URL of the test gateway (plain HTTP), used for every other "gw_url" value.
extern const char GATEWAY_TEST_URL[];
// The origins whose pages may start a payment, separated by ';' (scheme://host[:port]). Empty: any
// page may (a development build).
extern const char* const GATEWAY_PAGE_ORIGINS;
