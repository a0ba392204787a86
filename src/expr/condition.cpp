#include "expr/condition.h"

#include "base/language.h"
#include "base/state.h"
#include "feed/query.h"

const char *ConditionText(const char *locationId, int t, int i) {
    const char *unit = Plugin.defaultUnit;
    int language = LanguageChosen();
    const char *open = language ? "<icon>" : "<t>";
    const char *close = language ? "</icon>" : "</t>";
    const char *value;
    if (t == 0) {
        value = QueryCurrent(locationId, unit, open, close, 1);
    } else if (t > 0) {
        value = QueryForecast(locationId, unit, open, close, language ? i : t);
    } else {
        value = QueryHourly(locationId, unit, open, close, language ? i : -t);
    }
    return language ? TranslateCondition("Conditions", Plugin.value) : value;
}
