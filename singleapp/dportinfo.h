#pragma once

// The outcome of probing one port: free when nothing accepted the connection.
struct DPortInfo
{
    int port = 0;
    bool isFree = false;
};
