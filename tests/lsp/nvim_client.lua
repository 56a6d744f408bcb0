-- Neovim as a real client of tesselin lsp: it opens a script with a typo and
-- receives the diagnostic, and completes "sph" to "sphere".
-- Run: TESSELIN=path/to/tesselin nvim --headless -u NONE -c "luafile nvim_client.lua"
local program = os.getenv("TESSELIN")
local folder = vim.fn.tempname()
vim.fn.mkdir(folder, "p")
local script = folder .. "/scene.tsl"
vim.fn.writefile({ "canvas 64 48 persp 30 1 100 10", "sphre 10 10 flat", "sph" }, script)

local function fail(message)
  io.stderr:write("nvim client: " .. message .. "\n")
  vim.cmd("cquit 1")
end

vim.cmd("edit " .. script)
local buffer = vim.api.nvim_get_current_buf()
local client = vim.lsp.start_client({ name = "tesselin", cmd = { program, "lsp" }, root_dir = folder })
if not client then fail("the server did not start") end
vim.lsp.buf_attach_client(buffer, client)

local found = vim.wait(10000, function() return #vim.diagnostic.get(buffer) > 0 end, 50)
if not found then fail("no diagnostics arrived") end
local diagnostic = vim.diagnostic.get(buffer)[1]
if diagnostic.lnum ~= 1 or diagnostic.col ~= 0 or diagnostic.end_col ~= 5
    or diagnostic.severity ~= vim.diagnostic.severity.ERROR
    or not diagnostic.message:find('did you mean "sphere"', 1, true) then
  fail("unexpected diagnostic " .. vim.inspect(diagnostic))
end

local answers = vim.lsp.buf_request_sync(buffer, "textDocument/completion", {
  textDocument = { uri = vim.uri_from_bufnr(buffer) }, position = { line = 2, character = 3 } }, 10000)
local result = answers and answers[client] and answers[client].result
if not result then fail("no completion answer") end
local items = vim.lsp.util.text_document_completion_list_to_complete_items(result, "sph")
if #items == 0 or items[1].word:sub(1, 6) ~= "sphere" then
  fail("completion of sph gave " .. vim.inspect(items))
end

vim.lsp.stop_client(client)
vim.fn.delete(folder, "rf")
print("nvim client: diagnostic and completion received")
vim.cmd("qall!")
