// The icon and radar functions.
#include "plugin/exports.h"
#include "plugin/frame.h"

Text NIMBREL_CALL IconCC(Text, Text) {
    return PendingExport(ICON_TIMEOUT_TEXT);
}
Text NIMBREL_CALL IconForecast(Text, Text, Text, Text) {
    return PendingExport(ICON_TIMEOUT_TEXT);
}
Text NIMBREL_CALL IconNow(Text, Text) {
    return PendingExport(ICON_TIMEOUT_TEXT);
}
Text NIMBREL_CALL IconLater(Text, Text) {
    return PendingExport(ICON_TIMEOUT_TEXT);
}
Text NIMBREL_CALL IconHourly(Text, Text, Text) {
    return PendingExport(ICON_TIMEOUT_TEXT);
}
Text NIMBREL_CALL AlertIcon(Text, Text) {
    return PendingExport(ICON_TIMEOUT_TEXT);
}
Text NIMBREL_CALL MoonIcon(Text, Text) {
    return PendingExport(ICON_TIMEOUT_TEXT);
}
Text NIMBREL_CALL LocalRadar(Text) {
    return PendingExport(TIMEOUT_TEXT);
}
Text NIMBREL_CALL CustomRadar(Text, Text, Text) {
    return PendingExport(TIMEOUT_TEXT);
}
