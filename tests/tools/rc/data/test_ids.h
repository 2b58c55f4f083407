// Identifiers of the lookup tests' script.
#pragma once

#define IDD_NUMBERED 300
#define IDD_EMPTY 301
#define IDD_NAMED "Test-Named-Template"
#define IDI_TEST 400
#define IDR_PAGE 401
#define IDS_HELLO 1
#define IDS_UNICODE 2
#define IDC_NAME 1000
