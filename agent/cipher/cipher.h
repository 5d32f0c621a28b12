#pragma once
// Payload cipher: Triple DES (encrypt-decrypt-encrypt, three 8-byte keys) in ECB mode. The key
// material is the MD5 digest of a key text derived from the agent id: first key digest bytes
// 0-7, second key bytes 8-15, third key eight zero bytes.
#include <cstdint>
#include <string>
#include <string_view>

namespace zel::agent {

// Key text for an agent id's decimal text: the text reversed, then that with every character
// raised by 7, then lowered by 5, then unchanged, in the order raised + lowered + unchanged.
std::string BuildCipherKey(std::string_view idText);

// Encrypts with the key text `keyText`. The input is padded with blanks to a multiple of 8
// bytes; an empty input gives an empty result.
std::string EncryptWithKey(std::string_view plain, std::string_view keyText);
// Decrypts with the key text. Padding blanks are kept. A trailing piece shorter than 8 bytes
// is not a block and is dropped.
std::string DecryptWithKey(std::string_view cipher, std::string_view keyText);

// The same keyed by an agent id (BuildCipherKey of its decimal text).
std::string EncryptData(std::string_view plain, std::int32_t agentId);
std::string DecryptData(std::string_view cipher, std::int32_t agentId);

}  // namespace zel::agent
