/* Loads AFL++'s GCC plugin into a GCC whose build differs from the one the plugin was built
 * against only in its configuration text (Debian 12's point releases of gcc-12 change the package
 * version and build path in it, which the plugin's version check compares). The real plugin gets
 * the version it expects, with that text as it was built for; everything else is the compiler's
 * own. REAL_PLUGIN and BUILT_FOR are given when this is compiled (see scripts/fuzz). */
#include <dlfcn.h>
#include <stdio.h>

struct plugin_gcc_version {
    const char *basever, *datestamp, *devphase, *revision, *configuration_arguments;
};

int plugin_is_GPL_compatible;

int plugin_init(void *info, struct plugin_gcc_version *version) {
    void *real = dlopen(REAL_PLUGIN, RTLD_NOW | RTLD_GLOBAL);
    int (*init)(void *, struct plugin_gcc_version *) =
        real ? (int (*)(void *, struct plugin_gcc_version *))dlsym(real, "plugin_init") : NULL;
    if (!init) {
        fprintf(stderr, "afl-plugin-shim: %s\n", dlerror());
        return 1;
    }
    struct plugin_gcc_version expected = *version;
    expected.configuration_arguments = BUILT_FOR;
    return init(info, &expected);
}
