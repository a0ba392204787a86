#include "plugin/proxy.h"

#include "base/state.h"
#include "base/text.h"

void ReadProxySettings(void) {
    char flag[PROXY_FIELD_CAPACITY];
    OsHostProxyValue("UseProxy", flag, sizeof flag);
    Plugin.useProxy = TextToInt(flag);
    Plugin.proxyUser[0] = Plugin.proxyPort[0] = Plugin.proxyPassword[0] = '\0';
    Plugin.proxyServer[0] = Plugin.proxyAddress[0] = '\0';
    if (Plugin.useProxy == 0) {
        return;
    }
    OsHostProxyValue("ProxyUsername", Plugin.proxyUser, sizeof Plugin.proxyUser);
    OsHostProxyValue("ProxyPort", Plugin.proxyPort, sizeof Plugin.proxyPort);
    OsHostProxyValue("ProxyPassword", Plugin.proxyPassword, sizeof Plugin.proxyPassword);
    OsHostProxyValue("ProxyServer", Plugin.proxyServer, sizeof Plugin.proxyServer);
    FormatText(Plugin.proxyAddress, sizeof Plugin.proxyAddress, "%s:%s", Plugin.proxyServer,
               Plugin.proxyPort);
}
