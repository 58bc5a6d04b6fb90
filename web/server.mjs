// A static file server for the built page on 127.0.0.1, sending the page's
// security headers with every file (SECURITY_HEADERS: what any static host
// must send).  The policy travels with the worker's own script, which is the
// only way it reaches the worker that holds the files: a policy in the
// page's <meta> tag covers the page alone.
//
//   node web/server.mjs [--root build/web] [--port 8000]    (scripts/serve-web)
//
// The browser tests use serve(), which logs every path asked for.
import {createServer} from 'node:http';
import {readFile} from 'node:fs/promises';
import path from 'node:path';
import {parseArgs} from 'node:util';

export const CONTENT_SECURITY_POLICY = [
  "default-src 'none'", "script-src 'self' 'wasm-unsafe-eval'", "style-src 'self'",
  "img-src 'self' blob: data:", "connect-src 'self' blob: data:", "worker-src 'self'",
  "base-uri 'none'", "form-action 'none'", "frame-ancestors 'none'",
].join('; ');

export const SECURITY_HEADERS = {
  'Content-Security-Policy': CONTENT_SECURITY_POLICY,
  'X-Content-Type-Options': 'nosniff',
  'Referrer-Policy': 'no-referrer',
};

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm',
  '.svg': 'image/svg+xml',
  '.png': 'image/png',
};

// Serves `root`; {headers: false} leaves the security headers out (a host
// that sends none).  Returns {origin, requests, close}.
export async function serve(root, {port = 0, headers = true} = {}) {
  const requests = [];
  const extra = headers ? SECURITY_HEADERS : {};
  const server = createServer(async (request, response) => {
    const url = new URL(request.url, 'http://localhost');
    requests.push(url.pathname);
    const relative = decodeURIComponent(url.pathname).replace(/^\/+/, '') || 'index.html';
    const file = path.resolve(root, relative);
    if (!file.startsWith(path.resolve(root) + path.sep)) {
      response.writeHead(403, extra).end();
      return;
    }
    try {
      const body = await readFile(file);
      response.writeHead(200, {...extra, 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream'});
      response.end(body);
    } catch {
      response.writeHead(404, extra).end();
    }
  });
  await new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', resolve);
  });
  return {origin: `http://127.0.0.1:${server.address().port}`, requests,
          close: () => new Promise((resolve) => server.close(resolve))};
}

if (import.meta.url === `file://${process.argv[1]}`) {
  const {values} = parseArgs({options: {root: {type: 'string', default: 'build/web'},
                                        port: {type: 'string', default: '8000'}}});
  const {origin} = await serve(values.root, {port: Number(values.port)});
  console.log(`Serving ${values.root} on ${origin}/ (only this machine can reach it; Ctrl-C stops)`);
}
