// Preloaded in front of libcurl: no session handle can be had, as when the system is out of
// resources, so the retrieval's session does not open.

extern "C" void* curl_multi_init() {
    return nullptr;
}
