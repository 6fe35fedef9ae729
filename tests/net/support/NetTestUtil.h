// Small helpers shared by the network tests.
#pragma once

#include "support/TestService.h"

#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <string>

namespace nettest {

inline const testsupport::TestService& Service()
{
    const testsupport::TestService& s = testsupport::TestService::Get();
    EXPECT_TRUE(s.Available()) << std::string(s.Error().begin(), s.Error().end());
    return s;
}

inline std::string Narrow(const std::wstring& s)
{
    return std::string(s.begin(), s.end());
}

// A loopback port with nothing listening on it.
inline unsigned short ClosedPort()
{
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof(a));
    int len = sizeof(a);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    closesocket(s);
    return ntohs(a.sin_port);
}

} // namespace nettest
