// A Node client of tesselin lsp on vscode-jsonrpc: completion, hover,
// signature help, symbols, folding, code actions and formatting over a real
// pipe, as an editor would ask. Usage: node client.js path/to/tesselin
'use strict';
const { spawn } = require('child_process');
const assert = require('assert/strict');
const rpc = require('vscode-jsonrpc/node');

const uri = 'file:///tmp/tesselin-node-client/scene.tsl';
const text = [
  'canvas  64 48 persp 30 1 100 10',
  'push',
  'sphre 10 10 flat',
  'pop',
  'finish',
  'sph',
].join('\n') + '\n';

async function main() {
  const server = spawn(process.argv[2], ['lsp'], { stdio: ['pipe', 'pipe', 'inherit'] });
  const connection = rpc.createMessageConnection(
    new rpc.StreamMessageReader(server.stdout), new rpc.StreamMessageWriter(server.stdin));
  const diagnostics = new Promise((resolve) =>
    connection.onNotification('textDocument/publishDiagnostics', (params) => resolve(params)));
  connection.listen();
  const doc = { textDocument: { uri } };
  const at = (line, character) => ({ ...doc, position: { line, character } });

  const init = await connection.sendRequest('initialize', { processId: process.pid, rootUri: null, capabilities: {} });
  assert.ok(init.capabilities.hoverProvider);
  connection.sendNotification('initialized', {});
  connection.sendNotification('textDocument/didOpen',
    { textDocument: { uri, languageId: 'tesselin', version: 1, text } });
  const pushed = await diagnostics;
  assert.equal(pushed.diagnostics.length, 2); // sphre, and sph not yet completed
  assert.match(pushed.diagnostics[0].message, /did you mean "sphere"/);

  const completion = await connection.sendRequest('textDocument/completion', at(5, 3));
  assert.deepEqual(completion.map((item) => item.label), ['sphere']);

  const hover = await connection.sendRequest('textDocument/hover', at(0, 2));
  assert.match(hover.contents.value, /canvas WIDTH HEIGHT persp\|ortho FOV NEAR FAR DISTANCE/);

  const help = await connection.sendRequest('textDocument/signatureHelp', at(0, 21));
  assert.equal(help.signatures[help.activeSignature].label, 'canvas WIDTH HEIGHT persp|ortho FOV NEAR FAR DISTANCE');
  assert.equal(help.activeParameter, 3);

  const symbols = await connection.sendRequest('textDocument/documentSymbol', doc);
  assert.deepEqual(symbols.map((s) => [s.name, s.children.map((c) => c.name)]),
    [['canvas 64 48 persp 30 1 100 10', ['frame 1']]]);

  const folds = await connection.sendRequest('textDocument/foldingRange', doc);
  assert.deepEqual(folds.map((f) => [f.startLine, f.endLine]), [[1, 3]]);

  const actions = await connection.sendRequest('textDocument/codeAction', {
    ...doc, range: pushed.diagnostics[0].range, context: { diagnostics: pushed.diagnostics } });
  assert.equal(actions.length, 1);
  assert.deepEqual(actions[0].edit.changes[uri], [{ range: pushed.diagnostics[0].range, newText: 'sphere' }]);

  const edits = await connection.sendRequest('textDocument/formatting', { ...doc, options: { tabSize: 2, insertSpaces: true } });
  assert.deepEqual(edits.map((e) => [e.range.start.line, e.newText]), [[0, 'canvas 64 48 persp 30 1 100 10']]);

  await connection.sendRequest('shutdown');
  connection.sendNotification('exit');
  const status = await new Promise((resolve) => server.on('exit', resolve));
  assert.equal(status, 0);
  console.log('node client: every request answered as expected');
  connection.dispose();
}

main().catch((error) => {
  console.error('node client:', error);
  process.exit(1);
});
