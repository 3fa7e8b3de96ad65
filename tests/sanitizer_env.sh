# The environment the sanitizer build's tests run in; sourced before
#   ctest --test-dir build-asan
# The programs the end-to-end tests start inherit it.

# Leaks are reported, except the GL driver's own (see lsan.supp).
export ASAN_OPTIONS=detect_leaks=1:verify_asan_link_order=0
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# Mesa unloads its driver before LeakSanitizer reports, which leaves the
# driver's leaks in an unknown module that no suppression can name; preloaded,
# it stays mapped. (verify_asan_link_order=0 above allows the preload.)
for driver in /usr/lib/x86_64-linux-gnu/dri/swrast_dri.so /usr/lib64/dri/swrast_dri.so \
              /usr/lib/dri/swrast_dri.so; do
    if [ -f "$driver" ]; then
        export LD_PRELOAD="$driver${LD_PRELOAD:+:$LD_PRELOAD}"
        break
    fi
done
