// The engine's WebAssembly is inside the page (a data URI). Emscripten's
// loader would first try to fetch it, which the page's
// Content-Security-Policy refuses (an error in the console, and a request
// attempted); without fetch in its scope it decodes the bytes in place.
var fetch; // eslint-disable-line no-var, no-unused-vars
