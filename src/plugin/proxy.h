// The host application's proxy settings.
#ifndef NIMBREL_PROXY_H
#define NIMBREL_PROXY_H

// Reads the host's proxy values into PluginState: the use-proxy flag first (its text read as an
// integer; missing counts as 0), and only when it is set the user name, port, password and
// server, and the address "server:port". With the flag 0 every proxy field is empty.
void ReadProxySettings(void);

#endif
